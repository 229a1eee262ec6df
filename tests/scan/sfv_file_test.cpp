#include "scan/sfv_file.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/scan/memory_file_system.h"

namespace qs {
namespace {

struct LineCase {
  const char* line;
  const char* name;
  const char* crc;
};

class SfvLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(SfvLineTest, SplitsAtTheLastSpaceAfterTrimming) {
  const SfvEntry entry = ParseSfvLine(GetParam().line);
  EXPECT_EQ(entry.name, GetParam().name);
  EXPECT_EQ(entry.expected_crc, GetParam().crc);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SfvLineTest,
    ::testing::Values(LineCase{"x.rar 1A2B3C4D", "x.rar", "1A2B3C4D"},
                      LineCase{"my file.part01.rar 0badf00d", "my file.part01.rar", "0badf00d"},
                      LineCase{"  lead.rar 12345678", "  lead.rar", "12345678"},
                      LineCase{" ;x 12345678", " ;x", "12345678"},
                      LineCase{"x.rar 12345678  \t \t", "x.rar", "12345678"},
                      LineCase{"x.rar 12345678\r", "x.rar", "12345678"},
                      LineCase{"x.rar\t12345678", "", "x.rar\t12345678"},
                      LineCase{"x.rar  12345678", "x.rar ", "12345678"},
                      LineCase{"sub/x.rar 12345678", "sub/x.rar", "12345678"},
                      LineCase{"12345678", "", "12345678"}, LineCase{"", "", ""},
                      LineCase{"   ", "", ""}, LineCase{"x.rar ", "", "x.rar"}));

struct MatchCase {
  std::uint32_t crc;
  const char* text;
  bool matches;
};

class CrcMatchTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(CrcMatchTest, ComparesEightDigitsCaseBlind) {
  EXPECT_EQ(CrcMatches(GetParam().crc, GetParam().text), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(Texts, CrcMatchTest,
                         ::testing::Values(MatchCase{0xCBF43926u, "cbf43926", true},
                                           MatchCase{0xCBF43926u, "CBF43926", true},
                                           MatchCase{0xCBF43926u, "cBf43926", true},
                                           MatchCase{0xCBF43926u, "0xCBF43926", false},
                                           MatchCase{0xCBF43926u, "CBF43927", false},
                                           MatchCase{0x0BADF00Du, "0BADF00D", true},
                                           MatchCase{0x0BADF00Du, "BADF00D", false},
                                           MatchCase{0x0BADF00Du, "00BADF00D", false},
                                           MatchCase{0u, "00000000", true},
                                           MatchCase{0u, "0", false}, MatchCase{0u, "", false}));

const std::string kSfv = "/d/x.sfv";

ArchiveSet SetAt(const std::string& path) {
  ArchiveSet set;
  set.sfv_path = path;
  set.set_directory = SetDirectoryOf(path);
  return set;
}

TEST(SfvFileTest, ReadsEveryNonCommentLineInOrder) {
  test::MemoryFileSystem fs;
  // Small reads so that lines straddle read boundaries.
  fs.Add(kSfv,
         "; comment\r\n"
         "x.rar 11111111\r\n"
         "\r\n"
         " ;y.rar 22222222\n"
         ";\n"
         "z z.rar 33333333  \t\n"
         "last.r00 44444444",
         3);
  ArchiveSet set = SetAt(kSfv);
  ASSERT_EQ(ReadSfvFile(fs, set), kErrorSuccess);
  EXPECT_EQ(set.entry_names,
            (std::vector<std::string>{"x.rar", "", " ;y.rar", "z z.rar", "last.r00"}));
  EXPECT_EQ(set.expected_crcs,
            (std::vector<std::string>{"11111111", "", "22222222", "33333333", "44444444"}));
  EXPECT_EQ(set.set_directory, "/d/");
}

TEST(SfvFileTest, OnlyCommentsGiveNoEntries) {
  test::MemoryFileSystem fs;
  fs.Add(kSfv, "; made by a tool\r\n;x.rar 12345678\r\n");
  ArchiveSet set = SetAt(kSfv);
  ASSERT_EQ(ReadSfvFile(fs, set), kErrorSuccess);
  EXPECT_TRUE(set.entry_names.empty());
  EXPECT_TRUE(set.expected_crcs.empty());
}

TEST(SfvFileTest, OpenFailureIsReportedWithItsError) {
  test::MemoryFileSystem fs;
  fs.FailOpen(kSfv, kErrorSharingViolation);
  ArchiveSet set = SetAt(kSfv);
  EXPECT_EQ(ReadSfvFile(fs, set), kErrorSharingViolation);
  EXPECT_EQ(ReadSfvFile(fs, set = SetAt("/d/missing.sfv")), kErrorFileNotFound);
  EXPECT_TRUE(set.entry_names.empty());
}

TEST(SfvFileTest, AHugeLineIsCutIntoAnEntryThatNeverVerifies) {
  test::MemoryFileSystem fs;
  // 100 MB in one line, produced on the fly: the reader must not keep it.
  fs.AddFactory(kSfv, [] {
    return std::make_unique<test::GeneratedFile>(100u << 20, 'a',
                                                 " 00000000\r\nb.rar 12345678\r\n");
  });
  ArchiveSet set = SetAt(kSfv);
  ASSERT_EQ(ReadSfvFile(fs, set), kErrorSuccess);
  ASSERT_EQ(set.entry_names.size(), 2u);
  EXPECT_EQ(set.entry_names[0], "");
  EXPECT_FALSE(CrcMatches(0, set.expected_crcs[0]));
  EXPECT_EQ(set.entry_names[1], "b.rar");
  EXPECT_EQ(set.expected_crcs[1], "12345678");
}

TEST(SfvFileTest, AReadErrorEndsTheList) {
  test::MemoryFileSystem fs;
  fs.AddFactory(kSfv, [] {
    return std::make_unique<test::StringFile>("a.rar 11111111\nb.rar 22222222\n", 4096, 15);
  });
  ArchiveSet set = SetAt(kSfv);
  ASSERT_EQ(ReadSfvFile(fs, set), kErrorSuccess);
  EXPECT_EQ(set.entry_names, (std::vector<std::string>{"a.rar"}));
}

TEST(SfvFileTest, SetDirectoryEndsAtTheLastSeparator) {
  EXPECT_EQ(SetDirectoryOf("/in/movie/x.sfv"), "/in/movie/");
  EXPECT_EQ(SetDirectoryOf("/x.sfv"), "/");
  EXPECT_EQ(SetDirectoryOf("x.sfv"), "");
}

}  // namespace
}  // namespace qs
