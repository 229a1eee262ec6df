// Names a stranger's download may carry: spaces, quotes, shell syntax, line breaks, leading
// dashes, bytes that are not UTF-8, NUL bytes. They are verified, handed off and substituted as
// literal text, and never make anything run but the companion and the post-execution program.
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_system.h"
#include "scan/companion_completion.h"
#include "scan/post_execution.h"
#include "tests/reliability/pass_rig.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

using namespace std::string_literals;

// The system would read such a path only up to the NUL and act on "x.rar": every operation
// refuses it instead, and the file before the NUL is left alone.
TEST(HostileNamesTest, APathWithANulByteNamesNoFile) {
  test::TempDir temp;
  const std::string before_nul = temp.WriteFile("x.rar", "volume");
  temp.MakeDir("x.dir");
  const std::string nul = before_nul + "\0.r00"s;
  FileSystem& fs = RealFileSystem();
  std::unique_ptr<ReadableFile> file;
  EXPECT_EQ(fs.OpenForVerify(nul, file), kErrorInvalidName);
  EXPECT_EQ(file, nullptr);
  EXPECT_EQ(fs.OpenForReading(nul, file), kErrorInvalidName);
  std::vector<DirectoryEntry> entries;
  EXPECT_FALSE(fs.ListDirectory(temp.Path("x.dir") + "\0x"s, entries));
  EXPECT_EQ(fs.WriteFileAtomically(nul, "replaced"), kErrorInvalidName);
  EXPECT_EQ(fs.CreateEmptyFile(nul), kErrorInvalidName);
  EXPECT_EQ(fs.MoveFileNoReplace(nul, temp.Path("moved")), kErrorInvalidName);
  EXPECT_EQ(fs.MoveFileNoReplace(before_nul, temp.Path("moved") + "\0x"s), kErrorInvalidName);
  EXPECT_EQ(fs.DeleteFile(nul), kErrorInvalidName);
  EXPECT_EQ(test::ReadFile(before_nul), "volume");
  EXPECT_FALSE(test::Exists(temp.Path("moved")));
}

// A download may hold links under the names of the files the pass writes. Following them would
// let a stranger's folder overwrite or create any file of the user: they are replaced instead.
TEST(HostileNamesTest, LinksNamedLikeTheStateFileOrTheMarkerAreReplacedNotFollowed) {
  test::PassRig rig;
  rig.WriteSet("in/D", "x.sfv", {{"x.rar", "xxx"}});
  rig.WriteSet("in/E", "y.sfv", {{"y.rar", "yyy"}});
  const std::string precious = rig.temp.WriteFile("home/.bashrc", "the user's own\n");
  const std::string planted = rig.temp.Path("home/planted");
  std::filesystem::create_symlink(precious, rig.StateFile("in/D"));
  std::filesystem::create_symlink(planted, rig.Marker("in/E"));
  std::filesystem::create_symlink(precious, rig.StateFile("in/E"));
  rig.AddRow(rig.temp.Path("in"));
  CompanionCompletion completion(rig.settings, RealFileSystem(), rig.sink, "/nonexistent/",
                                 [](std::string_view) { return kErrorSuccess; });
  rig.completion = &completion;
  rig.settings.WriteInt("DeleteQuarrystream", 0);
  ASSERT_EQ(rig.Run(RealFileSystem()), 1u);
  EXPECT_EQ(test::ReadFile(precious), "the user's own\n");
  EXPECT_FALSE(test::Exists(planted));
  for (const char* dir : {"in/D", "in/E"}) {
    EXPECT_FALSE(std::filesystem::is_symlink(rig.StateFile(dir))) << dir;
    EXPECT_FALSE(std::filesystem::is_symlink(rig.Marker(dir))) << dir;
    EXPECT_TRUE(test::Exists(rig.Marker(dir))) << dir;
  }
  EXPECT_EQ(test::ReadFile(rig.StateFile("in/D")), "x.rar 1\r\n");
}

// What a shell would make of these names creates this file; it must never appear.
constexpr const char* kCanary = "CANARY";

struct HostileSet {
  std::string folder;  // under in/
  std::string volume;  // the set's only volume, named in its SFV file
};

std::vector<HostileSet> HostileSets() {
  return {
      {"$(touch CANARY)", "`touch CANARY`.rar"},
      {"a \"quoted\" folder", "x\" ; touch CANARY ; \".rar"},
      {"semi;colon|pipe&amp", "| touch CANARY &.rar"},
      {"line\nbreak\ntouch CANARY", "y $(id).rar"},
      {"-rf", "--help.rar"},
      {"\xff\xfe not utf-8", "\xc3(\xed\xa0\x80.rar"},
      {"trailing backslash\\", "back\\slash\\.rar"},
      {" leading space", "  two leading spaces.rar"},
      {"'single' quotes", "it's.rar"},
  };
}

// The argv records the recorder left in `path`: each argument NUL-terminated, each record
// closed by a newline where the next argument would begin.
std::vector<std::vector<std::string>> Records(const std::string& path) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> current;
  std::string argument;
  bool at_start = true;
  for (const char c : test::ReadFile(path)) {
    if (at_start && c == '\n') {
      records.push_back(std::move(current));
      current.clear();
      continue;
    }
    at_start = c == '\0';
    if (c == '\0') {
      current.push_back(std::move(argument));
      argument.clear();
    } else {
      argument.push_back(c);
    }
  }
  return records;
}

// The detached programs write their records on their own time: wait for `count`, bounded.
std::vector<std::vector<std::string>> AwaitRecords(const std::string& path, std::size_t count) {
  for (int i = 0; i < 1000; ++i) {
    if (auto records = Records(path); records.size() >= count) {
      return records;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return Records(path);
}

class HostileNamesEndToEndTest : public ::testing::Test {
 protected:
  FileSystem& disk_ = RealFileSystem();

  void SetUp() override {
    bin_ = rig_.temp.MakeDir("bin") + "/";
    std::filesystem::copy_file(QS_ARGV_RECORDER, bin_ + "mirrowen");
    record_ = rig_.temp.Path("record");
    ::setenv("QS_ARGV_RECORD", record_.c_str(), 1);
    // Anything a shell ran would run here, and leave the canary here.
    old_cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(rig_.temp.path());
  }
  void TearDown() override {
    std::filesystem::current_path(old_cwd_);
    ::unsetenv("QS_ARGV_RECORD");
  }

  test::PassRig rig_;
  std::string bin_;
  std::string record_;
  std::filesystem::path old_cwd_;
};

TEST_F(HostileNamesEndToEndTest, AreVerifiedHandedOffAndSubstitutedAsLiteralText) {
  const std::vector<HostileSet> sets = HostileSets();
  for (const HostileSet& set : sets) {
    rig_.WriteSet("in/" + set.folder, "x.sfv", {{set.volume, "content of " + set.volume}});
  }
  const std::string in = rig_.temp.Path("in");
  const std::string out = rig_.temp.Path("out dir");
  rig_.AddRow(in, out);
  CompanionCompletion completion(rig_.settings, disk_, rig_.sink, bin_);
  rig_.completion = &completion;
  ASSERT_EQ(rig_.Run(disk_), 1u);
  ASSERT_EQ(rig_.sink.texts.size(), sets.size());

  // Placeholders inside quotes and bare: either way each stays one argument.
  const std::string field = "\"" + bin_ + "mirrowen\" post \"%1\" \"%2\" %3 x%1y";
  for (const SetCompleteTexts& texts : rig_.sink.texts) {
    EXPECT_FALSE(OnSetComplete(std::make_unique<SetCompleteTexts>(texts), field).empty());
  }

  const auto records = AwaitRecords(record_, 2 * sets.size());
  ASSERT_EQ(records.size(), 2 * sets.size());
  std::map<std::string, std::vector<std::string>> companion;
  std::map<std::string, std::vector<std::string>> post;
  for (const auto& record : records) {
    ASSERT_FALSE(record.empty());
    if (record[0] == "post") {
      ASSERT_EQ(record.size(), 5u);
      post[record[3]] = record;
    } else {
      ASSERT_EQ(record.size(), 3u);
      companion[record[0]] = record;
    }
  }
  for (const HostileSet& set : sets) {
    const std::string directory = in + "/" + set.folder + "/";
    const std::string first = directory + set.volume;
    EXPECT_TRUE(test::Exists(directory + kVerifiedMarkerName)) << set.folder;
    EXPECT_EQ(companion["/ADDRAR:" + first],
              (std::vector<std::string>{
                  "/ADDRAR:" + first, "/DESTINATION:" + out + "//" + set.folder + "/", "/TOTRAY"}));
    EXPECT_EQ(post[first], (std::vector<std::string>{"post", directory, directory + "x.sfv", first,
                                                     "x" + directory + "y"}));
  }
  EXPECT_FALSE(test::Exists(rig_.temp.Path(kCanary)));
}

}  // namespace
}  // namespace qs
