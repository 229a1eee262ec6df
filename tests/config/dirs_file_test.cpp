#include "config/dirs_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "config/watch_list.h"
#include "tests/config/config_fakes.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

using test::StringFile;

struct ParseCase {
  const char* name;
  std::string text;
  std::vector<WatchEntry> expected;
};

class ParseDirsTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseDirsTest, YieldsCompleteRecordsVerbatimWhateverTheReadSize) {
  for (std::size_t chunk : {std::size_t{1}, std::size_t{2}, std::size_t{4096}}) {
    StringFile file(GetParam().text, chunk);
    EXPECT_EQ(ParseDirs(file), GetParam().expected) << "read size " << chunk;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Records, ParseDirsTest,
    ::testing::Values(
        ParseCase{"Empty", "", {}},
        ParseCase{"SixLinesCrLf",
                  "1\r\nC:\\Incoming\r\nD:\\Unpacked\r\n0\r\nE:\\Other\r\nF:\\Out\r\n",
                  {{"C:\\Incoming", "D:\\Unpacked", 1}, {"E:\\Other", "F:\\Out", 0}}},
        ParseCase{"SixLinesLf",
                  "1\nC:\\Incoming\nD:\\Unpacked\n0\nE:\\Other\nF:\\Out\n",
                  {{"C:\\Incoming", "D:\\Unpacked", 1}, {"E:\\Other", "F:\\Out", 0}}},
        ParseCase{"MixedLineEnds", "1\n/a\r\n/b\n", {{"/a", "/b", 1}}},
        ParseCase{"FourthLineIgnored", "1\r\n/in\r\n/out\r\n0\r\n", {{"/in", "/out", 1}}},
        ParseCase{"FifthLineIgnored", "1\n/in\n/out\n0\n/x\n", {{"/in", "/out", 1}}},
        ParseCase{"LastLineWithoutEnd", "1\r\n/in\r\n/out", {{"/in", "/out", 1}}},
        ParseCase{"LettersGiveZero", "yes\n/in\n/out\n", {{"/in", "/out", 0}}},
        ParseCase{"TwoKept", "2\n/in\n/out\n", {{"/in", "/out", 2}}},
        ParseCase{
            "BlanksKept", "  1  \r\n  /my dir  \r\n\t/out\t\r\n", {{"  /my dir  ", "\t/out\t", 1}}},
        ParseCase{"EmptyLinesAreEmptyFields", "1\r\n\r\n\r\n", {{"", "", 1}}},
        ParseCase{"CrInsideLineKept", "1\n/a\rb\n/c\n", {{"/a\rb", "/c", 1}}}),
    [](const auto& info) { return std::string(info.param.name); });

struct IncludeCase {
  const char* line;
  std::int32_t expected;
};

class ParseIncludeTest : public ::testing::TestWithParam<IncludeCase> {};

TEST_P(ParseIncludeTest, ReadsTheLeadingNumberLikeAtoi) {
  EXPECT_EQ(ParseInclude(GetParam().line), GetParam().expected) << '"' << GetParam().line << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseIncludeTest,
    ::testing::Values(IncludeCase{"1", 1}, IncludeCase{"0", 0}, IncludeCase{"", 0},
                      IncludeCase{"abc", 0}, IncludeCase{"-", 0}, IncludeCase{"+", 0},
                      IncludeCase{" + 5", 0}, IncludeCase{"12abc", 12}, IncludeCase{"0x10", 0},
                      IncludeCase{" \t\v\f-5x", -5}, IncludeCase{"+7", 7}, IncludeCase{"3 4", 3},
                      IncludeCase{"007", 7}, IncludeCase{"2147483647", INT32_MAX},
                      IncludeCase{"2147483648", INT32_MAX}, IncludeCase{"-2147483648", INT32_MIN},
                      IncludeCase{"-2147483649", INT32_MIN},
                      IncludeCase{"99999999999999999999999", INT32_MAX},
                      IncludeCase{"-99999999999999999999999", INT32_MIN}));

TEST(ParseDirs, OverLongLineDropsItsRecordAndKeepsTheNextAligned) {
  const std::string too_long(kMaxStoredPathLength + 1, 'x');
  const std::string longest(kMaxStoredPathLength, 'y');
  StringFile file("1\r\n" + too_long + "\r\n/out\r\n" +  //
                  "1\r\n" + longest + "\r\n/out\r\n" +   //
                  "0\r\n/in\r\n" + too_long + "\r\n" +   //
                  "1\r\n/next\r\n/dest\r\n");
  EXPECT_EQ(ParseDirs(file),
            (std::vector<WatchEntry>{{longest, "/out", 1}, {"/next", "/dest", 1}}));
}

TEST(FormatDirs, WritesThreeCrLfLinesPerEntry) {
  EXPECT_EQ(FormatDirs({{"C:\\Incoming", "D:\\Unpacked", 1}, {"E:\\Other", "F:\\Out", 0}}),
            "1\r\nC:\\Incoming\r\nD:\\Unpacked\r\n0\r\nE:\\Other\r\nF:\\Out\r\n");
  EXPECT_EQ(FormatDirs({}), "");
}

TEST(FormatDirs, RoundTripsOddButStorableEntries) {
  const std::vector<WatchEntry> entries = {
      {" lead and trail ", "", -7},
      {std::string(5000, 'p'), "/dest with %1 and \"quotes\"", INT32_MIN},
      {"", "\t", INT32_MAX},
      {"/a\rb", "/ü", 2},
  };
  StringFile file(FormatDirs(entries), 3);
  EXPECT_EQ(ParseDirs(file), entries);
}

TEST(IsStorablePath, RefusesOnlyWhatCannotComeBackUnchanged) {
  EXPECT_TRUE(IsStorablePath(""));
  EXPECT_TRUE(IsStorablePath("  /with blanks\t"));
  EXPECT_TRUE(IsStorablePath(std::string(kMaxStoredPathLength, 'a')));
  EXPECT_FALSE(IsStorablePath(std::string(kMaxStoredPathLength + 1, 'a')));
  EXPECT_FALSE(IsStorablePath("/a\nb"));
  EXPECT_FALSE(IsStorablePath("/a\r"));
  EXPECT_FALSE(IsStorablePath(std::string_view("/a\0b", 4)));
}

class DirsFileOnDisk : public ::testing::Test {
 protected:
  test::TempDir dir_;
  std::string path_ = dir_.Path("dirs.cfg");
  FileSystem& fs_ = RealFileSystem();
  WatchList list_;
};

TEST_F(DirsFileOnDisk, MissingFileEmptiesTheList) {
  list_.Append({"/old", "/old", 1});
  LoadDirs(fs_, path_, list_);
  EXPECT_EQ(list_.Count(), 0u);
}

TEST_F(DirsFileOnDisk, SaveRewritesWhatWasReadInCanonicalForm) {
  // Four LF lines with a word for the flag and a 2: the stray line goes, the word becomes 0,
  // the 2 stays, and every line ends in CR LF.
  dir_.WriteFile("dirs.cfg", "on\n /in \n/out\n2\n/b\n/c\n9\n");
  LoadDirs(fs_, path_, list_);
  ASSERT_EQ(list_.Count(), 2u);
  ASSERT_TRUE(SaveDirs(fs_, path_, list_));
  EXPECT_EQ(test::ReadFile(path_), "0\r\n /in \r\n/out\r\n2\r\n/b\r\n/c\r\n");
}

TEST_F(DirsFileOnDisk, SaveIntoMissingFolderOrThroughAFileFails) {
  list_.Append({"/in", "/out", 1});
  EXPECT_FALSE(SaveDirs(fs_, dir_.Path("missing/dirs.cfg"), list_));
  EXPECT_FALSE(test::Exists(dir_.Path("missing")));
  dir_.WriteFile("plain", "x");
  EXPECT_FALSE(SaveDirs(fs_, dir_.Path("plain/dirs.cfg"), list_));
  EXPECT_EQ(test::ReadFile(dir_.Path("plain")), "x");
}

TEST_F(DirsFileOnDisk, ListWithALineBreakIsNotWritten) {
  const std::string old_text = "1\r\n/in\r\n/out\r\n";
  dir_.WriteFile("dirs.cfg", old_text);
  list_.Append({"/in\n0", "/out", 1});
  EXPECT_FALSE(SaveDirs(fs_, path_, list_));
  EXPECT_EQ(test::ReadFile(path_), old_text);
}

}  // namespace
}  // namespace qs
