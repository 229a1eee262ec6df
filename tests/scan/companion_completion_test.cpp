#include "scan/companion_completion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/memory_settings_store.h"
#include "config/settings_keys.h"
#include "platform/command_line.h"
#include "scan/scan_pass.h"
#include "tests/scan/memory_file_system.h"
#include "tests/scan/scan_test_support.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

ArchiveSet MakeSet(const std::string& set_directory, const std::string& sfv_name,
                   const std::string& first_volume) {
  ArchiveSet set;
  set.sfv_path = set_directory + sfv_name;
  set.set_directory = set_directory;
  set.first_volume_name = first_volume;
  return set;
}

class CompletionTest : public ::testing::Test {
 protected:
  CompanionCompletion Make(FileSystem& fs, std::string executable_directory = "/opt/q s/") {
    return CompanionCompletion(settings, fs, sink, std::move(executable_directory),
                               [this](std::string_view line) {
                                 lines.emplace_back(line);
                                 return kErrorSuccess;
                               });
  }

  MemorySettingsStore settings;
  test::RecordingSink sink;
  std::vector<std::string> lines;
};

struct TargetCase {
  const char* source;
  const char* set_directory;
  const char* destination;
  const char* target;
};

class TargetDirectoryTest : public CompletionTest,
                            public ::testing::WithParamInterface<std::tuple<TargetCase, int>> {};

TEST_P(TargetDirectoryTest, BuildsTheExactCompanionLine) {
  const auto& [row, quiet] = GetParam();
  WriteInt(settings, Setting::AddQuietToMirrowen, quiet);
  test::MemoryFileSystem fs;  // every file action fails: none of them may matter here
  auto completion = Make(fs);
  completion.Perform(WatchEntry{row.source, row.destination, 1},
                     MakeSet(row.set_directory, "x.sfv", "x.rar"));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], std::string("/opt/q s/mirrowen /ADDRAR:\"") + row.set_directory +
                          "x.rar\" /DESTINATION:\"" + row.target + "\"" +
                          (quiet == 1 ? " /TOTRAY" : ""));
  EXPECT_EQ(TargetDirectory(row.source, row.destination, row.set_directory), row.target);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TargetDirectoryTest,
    ::testing::Combine(::testing::Values(TargetCase{"/in", "/in/movie/", "/out", "/out//movie/"},
                                         TargetCase{"/in/", "/in/movie/", "/out", "/out/movie/"},
                                         TargetCase{"/in/", "/in/", "/out/", "/out/"},
                                         TargetCase{"/in", "/in/", "/out/", "/out//"}),
                       ::testing::Values(1, 0, 2)));

TEST_F(CompletionTest, AnEmptyFirstVolumeLeavesTheSetDirectoryAlone) {
  test::MemoryFileSystem fs;
  auto completion = Make(fs, "/bin/");
  completion.Perform(WatchEntry{"/in", "/out", 1}, MakeSet("/in/d/", "x.sfv", ""));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "/bin/mirrowen /ADDRAR:\"/in/d/\" /DESTINATION:\"/out//d/\" /TOTRAY");
  ASSERT_EQ(sink.texts().size(), 1u);
  EXPECT_EQ(sink.texts()[0]->volume_text, "/in/d/");
}

TEST_F(CompletionTest, QuotesAndBackslashesInNamesStayInsideTheirArgument) {
  test::MemoryFileSystem fs;
  auto completion = Make(fs, "/opt/bin/");
  const std::string set_directory = "/in/say \"hi\" $(x)/";
  const std::string volume = "a\\\"b\\.rar";
  completion.Perform(WatchEntry{"/in", "/out\\", 1}, MakeSet(set_directory, "x.sfv", volume));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(SplitCommandLine(lines[0]),
            (std::vector<std::string>{"/opt/bin/mirrowen", "/ADDRAR:" + set_directory + volume,
                                      "/DESTINATION:/out\\//say \"hi\" $(x)/", "/TOTRAY"}));
}

TEST_F(CompletionTest, PostsTheTextsBeforeStartingTheCompanion) {
  test::MemoryFileSystem fs;
  CompanionCompletion completion(settings, fs, sink, "/bin/", [this](std::string_view) {
    // The message is already out when the companion starts.
    EXPECT_EQ(sink.posted().size(), 1u);
    return kErrorFileNotFound;  // a failed start changes nothing
  });
  completion.Perform(WatchEntry{"/in", "/out", 1}, MakeSet("/in/d/", "x.sfv", "x.rar"));
  ASSERT_EQ(sink.posted().size(), 1u);
  EXPECT_EQ(sink.posted()[0], (test::Posted{WM_SCAN_SETCOMPLETE, 0, 0}));
  ASSERT_EQ(sink.texts().size(), 1u);
  EXPECT_EQ(sink.texts()[0]->sfv_text, "/in/d/x.sfv");
  EXPECT_EQ(sink.texts()[0]->volume_text, "/in/d/x.rar");
}

TEST(OldSfvPathTest, ReplacesEveryLowerCaseSfv) {
  EXPECT_EQ(OldSfvPath("/in/x.sfv"), "/in/x.oldsfv");
  EXPECT_EQ(OldSfvPath("/in/a.sfv.d/x.sfv"), "/in/a.oldsfv.d/x.oldsfv");
  EXPECT_EQ(OldSfvPath("/in/x.SFV"), "/in/x.SFV");
  EXPECT_EQ(OldSfvPath("/in/x.Sfv.sfv"), "/in/x.Sfv.oldsfv");
}

class CompletionFilesTest : public CompletionTest {
 protected:
  std::string Dir() const { return temp.path() + "/in/D/"; }

  void SetSwitches(int rename, int delete_sfv, int delete_state, int marker, int quiet) {
    WriteInt(settings, Setting::RenameSFV, rename);
    WriteInt(settings, Setting::DeleteSFV, delete_sfv);
    WriteInt(settings, Setting::DeleteQuarrystream, delete_state);
    WriteInt(settings, Setting::CreateNoCheckFile, marker);
    WriteInt(settings, Setting::AddQuietToMirrowen, quiet);
  }

  void PerformOn(const std::string& sfv_relative) {
    const std::string sfv = temp.WriteFile(sfv_relative, "x.rar 00000000\r\n");
    temp.WriteFile("in/D/" + std::string(kStateFileName), "x.rar 1\r\n");
    auto completion = Make(fs);
    ArchiveSet set;
    set.sfv_path = sfv;
    set.set_directory = sfv.substr(0, sfv.rfind('/') + 1);
    set.first_volume_name = "x.rar";
    completion.Perform(WatchEntry{temp.Path("in"), "/out", 1}, set);
  }

  const SetCompleteTexts& Texts() {
    EXPECT_EQ(sink.texts().size(), 1u);
    return *sink.texts().at(0);
  }

  test::TempDir temp;
  FileSystem& fs = RealFileSystem();
};

TEST_F(CompletionFilesTest, AnUpperCaseSfvKeepsItsNameWhenRenamed) {
  SetSwitches(1, 0, 0, 0, 1);
  PerformOn("in/D/x.SFV");
  EXPECT_TRUE(test::Exists(Dir() + "x.SFV"));
  EXPECT_EQ(Texts().sfv_text, Dir() + "x.SFV");
}

TEST_F(CompletionFilesTest, ARenameIntoAMissingFolderFailsAndTheFileStays) {
  SetSwitches(1, 0, 0, 0, 1);
  PerformOn("in/D/a.sfv.d/x.sfv");
  EXPECT_TRUE(test::Exists(Dir() + "a.sfv.d/x.sfv"));
  EXPECT_FALSE(test::Exists(Dir() + "a.oldsfv.d"));
  EXPECT_EQ(Texts().sfv_text, Dir() + "a.oldsfv.d/x.oldsfv");
}

TEST_F(CompletionFilesTest, RenameThenDeleteLeavesTheOldSfvAndAnEmptyText) {
  SetSwitches(1, 1, 0, 0, 1);
  PerformOn("in/D/x.sfv");
  EXPECT_FALSE(test::Exists(Dir() + "x.sfv"));
  EXPECT_TRUE(test::Exists(Dir() + "x.oldsfv"));
  EXPECT_EQ(Texts().sfv_text, "");
}

// Every combination of the five switches; bit i of the index turns switch i on. Switches that
// are off use 2 for odd combinations: only exactly 1 counts as on.
class SwitchCombinationTest : public CompletionFilesTest,
                              public ::testing::WithParamInterface<int> {};

TEST_P(SwitchCombinationTest, EachSwitchDoesItsOwnActionOnly) {
  const int bits = GetParam();
  const int off = bits % 2 == 1 ? 2 : 0;
  auto value = [&](int bit) { return (bits >> bit & 1) != 0 ? 1 : off; };
  const bool rename = (bits & 1) != 0;
  const bool delete_sfv = (bits & 2) != 0;
  const bool delete_state = (bits & 4) != 0;
  const bool marker = (bits & 8) != 0;
  const bool quiet = (bits & 16) != 0;
  SetSwitches(value(0), value(1), value(2), value(3), value(4));
  temp.WriteFile("in/D/" + std::string(kVerifiedMarkerName), "stale marker");
  if (!marker) {
    std::remove((Dir() + kVerifiedMarkerName).c_str());
  }

  PerformOn("in/D/x.sfv");

  EXPECT_EQ(test::Exists(Dir() + "x.sfv"), !rename && !delete_sfv);
  EXPECT_EQ(test::Exists(Dir() + "x.oldsfv"), rename);
  EXPECT_EQ(test::Exists(Dir() + kStateFileName), !delete_state);
  EXPECT_EQ(test::Exists(Dir() + kVerifiedMarkerName), marker);
  if (marker) {
    EXPECT_EQ(test::ReadFile(Dir() + kVerifiedMarkerName), "");  // created empty or truncated
  }
  const std::string expected_sfv_text =
      delete_sfv ? "" : (rename ? Dir() + "x.oldsfv" : Dir() + "x.sfv");
  EXPECT_EQ(Texts().sfv_text, expected_sfv_text);
  EXPECT_EQ(Texts().volume_text, Dir() + "x.rar");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "/opt/q s/mirrowen /ADDRAR:\"" + Dir() + "x.rar\" /DESTINATION:\"/out//D/\"" +
                          (quiet ? " /TOTRAY" : ""));
}

INSTANTIATE_TEST_SUITE_P(AllSwitches, SwitchCombinationTest, ::testing::Range(0, 32));

}  // namespace
}  // namespace qs
