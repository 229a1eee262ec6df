// The check of one set: what verifies, when a set is complete, what the state file holds after
// it, and how a state file that no longer fits its SFV file is handled.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "scan/companion_completion.h"
#include "tests/scan/scan_pass_fixture.h"

namespace qs {
namespace {

using test::CrcText;
using test::kFile;
using test::Posted;
using test::ReadFile;

struct SetCase {
  std::string label;
  std::string sfv;
  std::vector<std::pair<std::string, std::string>> files;  // name, content
  bool complete;
  std::string first_volume;
  std::string state_after;
};

std::vector<SetCase> SetCases() {
  const std::string a = CrcText("aaa");
  const std::string b = CrcText("bbb");
  return {
      {"OnlyComments", "; nothing\r\n;x.rar 00000000\r\n", {}, true, "", ""},
      {"BlankLineNeverVerifies",
       "a.rar " + a + "\r\n\r\nb.rar " + b + "\r\n",
       {{"a.rar", "aaa"}, {"b.rar", "bbb"}},
       false,
       "b.rar",
       "a.rar 1\r\n 0\r\nb.rar 1\r\n"},
      {"WrongCrc", "x.rar " + b + "\r\n", {{"x.rar", "aaa"}}, false, "x.rar", "x.rar 0\r\n"},
      {"LowerCaseCrc",
       "x.rar " + CrcText("aaa", true) + "\n",
       {{"x.rar", "aaa"}},
       true,
       "x.rar",
       "x.rar 1\r\n"},
      {"HexPrefixNeverMatches",
       "x.rar 0x" + a + "\n",
       {{"x.rar", "aaa"}},
       false,
       "x.rar",
       "x.rar 0\r\n"},
      {"TabSeparatorGivesAnEmptyName",
       "x.rar\t" + a + "\n",
       {{"x.rar", "aaa"}},
       false,
       "",
       " 0\r\n"},
      {"NameInASubfolder",
       "sub/x.rar " + a + "\n",
       {{"sub/x.rar", "aaa"}},
       true,
       "sub/x.rar",
       "sub/x.rar 1\r\n"},
      {"NameWithLeadingAndInnerSpaces",
       "  my x.rar " + a + "  \t\r\n",
       {{"  my x.rar", "aaa"}},
       true,
       "  my x.rar",
       "  my x.rar 1\r\n"},
      {"EmptyVolume", "e.001 00000000\n", {{"e.001", ""}}, true, "e.001", "e.001 1\r\n"},
      {"CapitalPartMakesTheLastOneFirst",
       "x.Part01.rar " + a + "\nx.Part02.rar " + b + "\n",
       {{"x.Part01.rar", "aaa"}, {"x.Part02.rar", "bbb"}},
       true,
       "x.Part02.rar",
       "x.Part01.rar 1\r\nx.Part02.rar 1\r\n"},
      {"MissingVolume",
       "x.rar " + a + "\nx.r00 " + b + "\n",
       {{"x.r00", "bbb"}},
       false,
       "x.rar",
       "x.rar 0\r\nx.r00 1\r\n"},
  };
}

class SetCheckTest : public test::ScanPassFixture, public ::testing::WithParamInterface<SetCase> {};

TEST_P(SetCheckTest, DecidesCompletenessAndRecordsTheStatuses) {
  WriteInt(settings, Setting::DeleteQuarrystream, 0);  // keep the state file to look at
  temp.WriteFile("in/D/x.sfv", GetParam().sfv);
  for (const auto& [name, content] : GetParam().files) {
    temp.WriteFile("in/D/" + name, content);
  }
  AddRow(temp.Path("in"));
  ASSERT_EQ(RunPass(), 1u);
  ASSERT_EQ(recorder.performed.size(), GetParam().complete ? 1u : 0u);
  if (GetParam().complete) {
    const ArchiveSet& set = recorder.performed[0].set;
    EXPECT_EQ(set.first_volume_name, GetParam().first_volume);
    EXPECT_EQ(set.set_directory, temp.Path("in/D/"));
    EXPECT_EQ(set.sfv_path, temp.Path("in/D/x.sfv"));
  }
  EXPECT_EQ(ReadFile(StateFile("in/D")), GetParam().state_after);
}

INSTANTIATE_TEST_SUITE_P(Sets, SetCheckTest, ::testing::ValuesIn(SetCases()),
                         [](const auto& info) { return info.param.label; });

TEST_F(SetCheckTest, ALongerStateFileKeepsTheSetIncompleteUntilRebuilt) {
  WriteSet("in/D", "x.sfv", {{"x.rar", "aaa"}});
  temp.WriteFile(std::string("in/D/") + kStateFileName, "x.rar 1\r\nold.rar 1\r\n");
  AddRow(temp.Path("in"));
  ASSERT_EQ(RunPass(), 1u);
  EXPECT_TRUE(recorder.performed.empty());
  EXPECT_TRUE(fs.verified.empty());  // neither line is read: one verified, one unpaired
  EXPECT_EQ(ReadFile(StateFile("in/D")), "x.rar 1\r\n");
  ASSERT_EQ(RunPass(), 1u);
  EXPECT_EQ(recorder.performed.size(), 1u);
}

TEST_F(SetCheckTest, AShorterStateFileGivesTheMissingNamesZero) {
  WriteSet("in/D", "x.sfv", {{"a.rar", "aaa"}, {"b.rar", "bbb"}});
  temp.WriteFile(std::string("in/D/") + kStateFileName, "a.rar 1\r\n");
  AddRow(temp.Path("in"));
  ASSERT_EQ(RunPass(), 1u);
  EXPECT_TRUE(recorder.performed.empty());
  EXPECT_EQ(ReadFile(StateFile("in/D")), "a.rar 1\r\nb.rar 0\r\n");
  ASSERT_EQ(RunPass(), 1u);
  EXPECT_EQ(recorder.performed.size(), 1u);
  EXPECT_EQ(fs.CountVerified(temp.Path("in/D/a.rar")), 0u);
  EXPECT_EQ(fs.CountVerified(temp.Path("in/D/b.rar")), 1u);
}

TEST_F(SetCheckTest, FileProgressWithoutEntriesShowsTheEndOfTheBar) {
  temp.WriteFile("in/D/x.sfv", "; no entries\r\n");
  temp.WriteFile(std::string("in/D/") + kStateFileName, "stale 1\r\nstale 0\r\n");
  AddRow(temp.Path("in"));
  ASSERT_EQ(RunPass(), 1u);
  std::vector<Posted> file_progress;
  for (const Posted& posted : sink.posted()) {
    if (posted.id == kFile) {
      file_progress.push_back(posted);
    }
  }
  EXPECT_EQ(file_progress,
            (std::vector<Posted>{{kFile, 0, 100}, {kFile, 0, 100}, {kFile, 0, 100}}));
  EXPECT_TRUE(recorder.performed.empty());
  EXPECT_TRUE(fs.verified.empty());
}

struct HandOffCase {
  std::int32_t delete_quarrystream;
  std::size_t hand_offs_in_two_passes;
  std::size_t reads_in_second_pass;
  bool state_file_left;
};

class HandOffTest : public test::ScanPassFixture,
                    public ::testing::WithParamInterface<HandOffCase> {};

TEST_P(HandOffTest, WithoutMarkerOrSfvChangeASetIsHandedOffEveryPass) {
  for (const Setting off : {Setting::RenameSFV, Setting::DeleteSFV, Setting::CreateNoCheckFile}) {
    WriteInt(settings, off, 0);
  }
  WriteInt(settings, Setting::DeleteQuarrystream, GetParam().delete_quarrystream);
  std::vector<std::string> lines;
  CompanionCompletion companion(settings, fs, sink, "/bin/", [&](std::string_view line) {
    lines.emplace_back(line);
    return kErrorSuccess;
  });
  completion = &companion;
  WriteSet("in/D", "x.sfv", {{"x.rar", "aaa"}});
  AddRow(temp.Path("in"));

  ASSERT_EQ(RunPass(), 1u);
  fs.verified.clear();
  ASSERT_EQ(RunPass(), 1u);
  EXPECT_EQ(lines.size(), GetParam().hand_offs_in_two_passes);
  EXPECT_EQ(fs.verified.size(), GetParam().reads_in_second_pass);
  EXPECT_EQ(test::Exists(StateFile("in/D")), GetParam().state_file_left);
  EXPECT_FALSE(test::Exists(Marker("in/D")));
}

INSTANTIATE_TEST_SUITE_P(DeleteQuarrystream, HandOffTest,
                         ::testing::Values(HandOffCase{0, 2, 0, true},
                                           HandOffCase{1, 2, 1, false}));

}  // namespace
}  // namespace qs
