// Whole passes over real folders: the walk, the check of each set, the messages posted, the
// state files left behind and the early ends.
#include "scan/scan_pass.h"

#include <unistd.h>
#include <cstdio>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "config/settings_keys.h"
#include "tests/support/pass_rig.h"

namespace qs {
namespace {

using test::ReadFile;

class ScanPass : public ::testing::Test, public test::PassRig {};

// The cases whose outcome must not depend on whether a helper thread checksums ahead.
class ScanPassThreads : public ScanPass, public ::testing::WithParamInterface<unsigned> {
 protected:
  void SetUp() override { checksum_threads = GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(OneAndTwoThreads, ScanPassThreads, ::testing::Values(1u, 2u));

TEST_P(ScanPassThreads, PostsTheDesignedSequenceForTwoRowsOneExcluded) {
  WriteSet("excluded", "x.sfv", {{"x.rar", "x"}});
  AddRow(temp.Path("excluded"), "/out", 0);
  // Row 1: three folders (in, in/A, in/B); A's set lacks a volume, B's is complete.
  WriteSet("in/A", "a.sfv", {{"a.rar", "aaaa"}, {"a.r00", "bbbb", false}});
  WriteSet("in/B", "b.sfv", {{"b.rar", "cccc"}});
  AddRow(temp.Path("in"), "/out");
  UseCompanion();
  EXPECT_EQ(RunPass(), 1u);
  // The search over three folders (100 - 2*100/3, 100 - 100/3, 100); set 0 of 2 shows 1, not
  // 0, with two state lines, then the end of the bar; set 1 of 2 shows 50, one line, complete.
  EXPECT_EQ(sink.Trace(), "r1:34 r1:67 r1:100 r1:1 f0 f50 f100 r1:50 f0 f100 set r1:100 end");
  ASSERT_EQ(sink.texts.size(), 1u);
  EXPECT_EQ(sink.texts[0]->sfv_text, temp.Path("in/B/b.sfv"));
  EXPECT_EQ(sink.texts[0]->volume_text, temp.Path("in/B/b.rar"));
  EXPECT_EQ(lines,
            std::vector<std::string>{"/opt/qs/mirrowen /ADDRAR:\"" + temp.Path("in/B/b.rar") +
                                     "\" /DESTINATION:\"/out//B/\" /TOTRAY"});
  EXPECT_EQ(ReadFile(StateFile("in/A")), "a.rar 1\r\na.r00 0\r\n");
  EXPECT_FALSE(test::Exists(StateFile("in/B")));
  EXPECT_TRUE(test::Exists(Marker("in/B")));
  EXPECT_EQ(fs.read[temp.Path("excluded/x.sfv")], 0);
}

// A stop between two lines of the state file, or inside a checksum (after x.rar verified in
// memory), ends the pass at once and leaves the state file as it was.
TEST_F(ScanPass, AStopMidSetLeavesTheStateFileUnchanged) {
  WriteSet("in/D", "x.sfv", {{"x.rar", "one"}, {"x.r00", std::string(400 * 1024, 'v')}});
  AddRow(temp.Path("in"));
  for (const bool inside_checksum : {false, true}) {
    const std::string before =
        inside_checksum ? "x.rar 0\r\nx.r00 0\r\n" : "x.rar 1\r\nx.r00 0\r\n";
    temp.WriteFile(std::string("in/D/") + kStateFileName, before);
    fs.ResetCounts();
    sink.on_post = nullptr;
    fs.before_verify = nullptr;
    if (inside_checksum) {
      fs.before_verify = [&](const std::string& path) {
        if (path.ends_with("x.r00")) {
          stop.Set();
        }
      };
    } else {
      OnPosted("f50", [&] { stop.Set(); });
    }
    EXPECT_EQ(RunPass(), 0u);
    EXPECT_EQ(sink.posted.back(), "f50");
    EXPECT_EQ(ReadFile(StateFile("in/D")), before);
    EXPECT_EQ(fs.writes, 0);
    EXPECT_EQ(fs.verified.size(), inside_checksum ? 2u : 0u);
    EXPECT_TRUE(completed.empty());
  }
}

// A state file that cannot be written ends the pass early: before the first line when it is new,
// after the completion when its rewrite fails.
TEST_F(ScanPass, AStateFileThatCannotBeWrittenEndsThePassEarly) {
  WriteSet("in/D", "x.sfv", {{"x.rar", "one"}});
  AddRow(temp.Path("in"));
  fs.FailEveryCall(test::FsOperation::kWriteFileAtomically, kErrorDiskFull);
  EXPECT_EQ(RunPass(), 0u);
  EXPECT_EQ(sink.Trace(), "r0:50 r0:100 r0:1");  // ended before the first line
  EXPECT_TRUE(completed.empty());
  temp.WriteFile(std::string("in/D/") + kStateFileName, "x.rar 0\r\n");
  EXPECT_EQ(RunPass(), 0u);
  EXPECT_EQ(completed.size(), 1u);
  EXPECT_EQ(sink.Trace(), "r0:50 r0:100 r0:1 f0 f100");
}

TEST_F(ScanPass, WalksBreadthFirstInListingOrderAndNeverEntersALinkedFolder) {
  for (const char* dir : {"in/b/deep", "in/a", "in/c"}) {
    WriteSet(dir, "s.sfv", {{"v.rar", dir}});
  }
  WriteSet("elsewhere", "o.sfv", {{"o.rar", "two"}});
  ASSERT_EQ(::symlink(temp.Path("in").c_str(), temp.Path("in/b/loop").c_str()), 0);
  ASSERT_EQ(::symlink(temp.Path("elsewhere").c_str(), temp.Path("in/away").c_str()), 0);
  AddRow(temp.Path("in") + "/");  // stored with its separator: paths still join with one
  EXPECT_EQ(RunPass(), 1u);
  // in, in/a, in/b, in/c, then in/b/deep one level further down.
  EXPECT_EQ(CompletedSfvs(),
            (std::vector<std::string>{temp.Path("in/a/s.sfv"), temp.Path("in/c/s.sfv"),
                                      temp.Path("in/b/deep/s.sfv")}));
  EXPECT_EQ(sink.posted[4], "r0:100");  // five folders searched
}

TEST_F(ScanPass, AnSfvFileIsOneWhoseNameEndsInSfvInAnyCase) {
  const std::pair<const char*, bool> names[] = {
      {"a.sfv", true},   {"b.Sfv", true},      {"c.SFV", true}, {".sfv", true},
      {"d.y.sfv", true}, {"e.sfv.bak", false}, {"fsfv", false}, {"g.sfvx", false}};
  for (const auto& [name, is_sfv] : names) {
    WriteSet(std::string("in/") + name + "_", name, {{"v.rar", "one"}});
  }
  AddRow(temp.Path("in"));
  EXPECT_EQ(RunPass(), 1u);
  for (const auto& [name, is_sfv] : names) {
    EXPECT_EQ(fs.read[temp.Path(std::string("in/") + name + "_/" + name)], is_sfv ? 1 : 0) << name;
  }
  EXPECT_EQ(completed.size(), 5u);
}

// The marker keeps the SFV file of its own folder unopened while CreateNoCheckFile is 1.
TEST_F(ScanPass, TheVerifiedMarkerSkipsTheSfvOfItsFolderOnly) {
  WriteSet("in/D", "x.sfv", {{"x.rar", "one"}});
  WriteSet("in/D/sub", "y.sfv", {{"y.rar", "two"}});
  temp.WriteFile(std::string("in/D/") + kVerifiedMarkerName, "");
  AddRow(temp.Path("in"));
  for (const std::int32_t setting : {1, 0, 2}) {
    WriteInt(settings, Setting::CreateNoCheckFile, setting);
    fs.ResetCounts();
    EXPECT_EQ(RunPass(), 1u);
    EXPECT_EQ(fs.read[temp.Path("in/D/x.sfv")], setting == 1 ? 0 : 1) << setting;
    EXPECT_EQ(fs.read[temp.Path("in/D/sub/y.sfv")], 1) << setting;
  }
}

// Each row: the SFV text, the volumes on disk, whether the set completes, the state file after.
TEST_P(ScanPassThreads, DecidesEachSetsCompletenessAndRecordsItsStatuses) {
  WriteInt(settings, Setting::DeleteQuarrystream, 0);  // keep the state file to look at
  const std::string a = test::CrcText("aaa");
  const std::string b = test::CrcText("bbb");
  using Files = std::vector<std::pair<std::string, std::string>>;
  const std::tuple<std::string, Files, bool, std::string> cases[] = {
      {"; nothing\r\n;x.rar 00000000\r\n", {}, true, ""},
      {"a.rar " + a + "\r\n\r\nb.rar " + b + "\r\n",
       {{"a.rar", "aaa"}, {"b.rar", "bbb"}},
       false,
       "a.rar 1\r\n 0\r\nb.rar 1\r\n"},
      {"x.rar " + b + "\r\n", {{"x.rar", "aaa"}}, false, "x.rar 0\r\n"},
      {"x.rar\t" + a + "\n", {{"x.rar", "aaa"}}, false, " 0\r\n"},
      {"  my x.rar " + a + "  \t\r\n", {{"  my x.rar", "aaa"}}, true, "  my x.rar 1\r\n"},
      {"e.001 00000000\n", {{"e.001", ""}}, true, "e.001 1\r\n"},
      {"x.rar " + a + "\nx.r00 " + b + "\n", {{"x.r00", "bbb"}}, false, "x.rar 0\r\nx.r00 1\r\n"}};
  int row = 0;
  for (const auto& [sfv, files, complete, state_after] : cases) {
    SCOPED_TRACE(sfv);
    const std::string dir = "in" + std::to_string(row++);
    temp.WriteFile(dir + "/x.sfv", sfv);
    for (const auto& [name, content] : files) {
      temp.WriteFile(dir + "/" + name, content);
    }
    list.Replace({WatchEntry{temp.Path(dir), "/out", 1}});
    completed.clear();
    ASSERT_EQ(RunPass(), 1u);
    EXPECT_EQ(completed.size(), complete ? 1u : 0u);
    EXPECT_EQ(ReadFile(StateFile(dir)), state_after);
  }
}

// A state file that no longer fits its SFV file: an unpaired line keeps the set incomplete for
// one pass (and ends the reading of the state file), a missing line counts as not verified.
TEST_P(ScanPassThreads, AStateFileOfAnotherLengthIsRebuiltFromTheSfvFile) {
  WriteSet("in/D", "x.sfv", {{"a.rar", "aaa"}, {"b.rar", "bbb"}});
  AddRow(temp.Path("in"));
  const std::pair<std::string, std::string> cases[] = {
      {"a.rar 1\r\nb.rar 1\r\nold.rar 1\r\nold.rar 1\r\n", "a.rar 1\r\nb.rar 1\r\n"},
      {"a.rar 1\r\n", "a.rar 1\r\nb.rar 0\r\n"}};
  for (const auto& [before, after] : cases) {
    temp.WriteFile(std::string("in/D/") + kStateFileName, before);
    fs.ResetCounts();
    completed.clear();
    ASSERT_EQ(RunPass(), 1u);
    EXPECT_TRUE(completed.empty());
    EXPECT_EQ(ReadFile(StateFile("in/D")), after);
    EXPECT_EQ(fs.verified.count(temp.Path("in/D/a.rar")), 0u);
    ASSERT_EQ(RunPass(), 1u);
    EXPECT_EQ(completed.size(), 1u);
  }
}

}  // namespace
}  // namespace qs
