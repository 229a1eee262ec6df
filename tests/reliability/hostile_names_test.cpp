// Names a stranger's download may carry: spaces, quotes, shell syntax, line breaks, leading
// dashes, bytes that are not UTF-8, links named like the files the pass writes. They
// are verified, handed off and substituted as literal text, never make anything run but the
// companion and the post-execution program, and never make the pass write outside the folder.
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "scan/post_execution.h"
#include "tests/support/child_process.h"
#include "tests/support/pass_rig.h"

namespace qs {
namespace {

// Following such links would let a stranger's folder overwrite or create any file of the user:
// they are replaced instead.
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
  rig.UseCompanion("/nonexistent/");
  rig.settings.WriteInt("DeleteQuarrystream", 0);
  ASSERT_EQ(rig.RunPass(), 1u);
  EXPECT_EQ(test::ReadFile(precious), "the user's own\n");
  EXPECT_FALSE(test::Exists(planted));
  for (const char* dir : {"in/D", "in/E"}) {
    EXPECT_FALSE(std::filesystem::is_symlink(rig.StateFile(dir))) << dir;
    EXPECT_FALSE(std::filesystem::is_symlink(rig.Marker(dir))) << dir;
    EXPECT_TRUE(test::Exists(rig.Marker(dir))) << dir;
  }
  EXPECT_EQ(test::ReadFile(rig.StateFile("in/D")), "x.rar 1\r\n");
}

// Folder and volume names; what a shell would make of them creates the file CANARY.
const std::pair<std::string, std::string> kHostileSets[] = {
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

TEST(HostileNamesTest, AreVerifiedHandedOffAndSubstitutedAsLiteralTextEndToEnd) {
  test::PassRig rig;
  const std::string bin = rig.temp.MakeDir("bin") + "/";
  std::filesystem::copy_file(QS_ARGV_RECORDER, bin + "mirrowen");
  const std::string record = rig.temp.Path("record");
  ::setenv("QS_ARGV_RECORD", record.c_str(), 1);
  // Anything a shell ran would run here, and leave the canary here.
  const std::filesystem::path old_cwd = std::filesystem::current_path();
  std::filesystem::current_path(rig.temp.path());
  for (const auto& [folder, volume] : kHostileSets) {
    rig.WriteSet("in/" + folder, "x.sfv", {{volume, "content of " + volume}});
  }
  const std::string in = rig.temp.Path("in");
  const std::string out = rig.temp.Path("out dir");
  rig.AddRow(in, out);
  rig.UseCompanion(bin, {}, /*start_for_real=*/true);
  ASSERT_EQ(rig.RunPass(), 1u);
  ASSERT_EQ(rig.sink.texts.size(), std::size(kHostileSets));

  // Placeholders inside quotes and bare: either way each stays one argument.
  const std::string field = "\"" + bin + "mirrowen\" post \"%1\" \"%2\" %3 x%1y";
  for (const auto& texts : rig.sink.texts) {
    EXPECT_FALSE(OnSetComplete(std::make_unique<SetCompleteTexts>(*texts), field).empty());
  }
  const auto records = test::ArgvRecords(record, 2 * std::size(kHostileSets));
  std::filesystem::current_path(old_cwd);
  ::unsetenv("QS_ARGV_RECORD");
  ASSERT_EQ(records.size(), 2 * std::size(kHostileSets));
  std::map<std::string, std::vector<std::string>> companion;
  std::map<std::string, std::vector<std::string>> post;
  for (const auto& argv : records) {
    ASSERT_EQ(argv.size(), !argv.empty() && argv[0] == "post" ? 5u : 3u);
    (argv[0] == "post" ? post[argv[3]] : companion[argv[0]]) = argv;
  }
  for (const auto& [folder, volume] : kHostileSets) {
    const std::string directory = in + "/" + folder + "/";
    const std::string first = directory + volume;
    EXPECT_TRUE(test::Exists(directory + kVerifiedMarkerName)) << folder;
    EXPECT_EQ(companion["/ADDRAR:" + first],
              (std::vector<std::string>{"/ADDRAR:" + first,
                                        "/DESTINATION:" + out + "//" + folder + "/", "/TOTRAY"}));
    EXPECT_EQ(post[first], (std::vector<std::string>{"post", directory, directory + "x.sfv", first,
                                                     "x" + directory + "y"}));
  }
  EXPECT_FALSE(test::Exists(rig.temp.Path("CANARY")));
}

}  // namespace
}  // namespace qs
