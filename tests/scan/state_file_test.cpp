#include "scan/state_file.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/scan/memory_file_system.h"

namespace qs {
namespace {

struct StateCase {
  const char* line;
  const char* name;
  const char* status;
  bool verify_now;
};

class StateLineTest : public ::testing::TestWithParam<StateCase> {};

TEST_P(StateLineTest, SplitsAtTheLastSpace) {
  const StateLine line = ParseStateLine(GetParam().line);
  EXPECT_EQ(line.name, GetParam().name);
  EXPECT_EQ(line.status_text, GetParam().status);
  EXPECT_EQ(NeedsVerification(line), GetParam().verify_now);
}

INSTANTIATE_TEST_SUITE_P(Lines, StateLineTest,
                         ::testing::Values(StateCase{"x.rar 0", "x.rar", "0", true},
                                           StateCase{"x.rar 1", "x.rar", "1", false},
                                           StateCase{"my file.rar 0", "my file.rar", "0", true},
                                           StateCase{"x.rar 0\t\r", "x.rar", "0", true},
                                           StateCase{"x.rar 00", "x.rar", "00", false},
                                           StateCase{"x.rar 2", "x.rar", "2", false},
                                           StateCase{"x.rar -1", "x.rar", "-1", false},
                                           StateCase{" 0", "", "0", true},
                                           StateCase{"0", "", "0", true},
                                           StateCase{"", "", "", false}));

TEST(StateFileTest, FormatsEveryNameWithCrLf) {
  EXPECT_EQ(FormatStateFile({"x.rar", "x.r00"}, {1, 0}), "x.rar 1\r\nx.r00 0\r\n");
  EXPECT_EQ(FormatStateFile({"my file.rar", ""}, {}), "my file.rar 0\r\n 0\r\n");
  // A name without a status (a shorter state file) is written as not verified.
  EXPECT_EQ(FormatStateFile({"a", "b"}, {1}), "a 1\r\nb 0\r\n");
  EXPECT_EQ(FormatStateFile({"a"}, {1, 1, 1}), "a 1\r\n");
  EXPECT_EQ(FormatStateFile({}, {}), "");
}

std::vector<StateLine> ReadAll(std::string content) {
  StateFileReader reader(std::make_unique<test::StringFile>(std::move(content), 7));
  std::vector<StateLine> lines;
  StateLine line;
  while (reader.Next(line)) {
    lines.push_back(line);
  }
  return lines;
}

TEST(StateFileTest, ReadsLfAndCrLf) {
  const auto lines = ReadAll("a b.rar 1\r\nc.rar 0\nd.rar 1");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].name, "a b.rar");
  EXPECT_EQ(lines[0].status_text, "1");
  EXPECT_EQ(lines[1].name, "c.rar");
  EXPECT_EQ(lines[1].status_text, "0");
  EXPECT_EQ(lines[2].name, "d.rar");
  EXPECT_FALSE(lines[2].truncated);
}

TEST(StateFileTest, TheLongestNameAnSfvLineCanHoldReadsBackWhole) {
  const std::string name(LineReader::kDefaultMaxLineLength - 1, 'n');
  const auto lines = ReadAll(FormatStateFile({name, "b"}, {0, 1}));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_FALSE(lines[0].truncated);
  EXPECT_EQ(lines[0].name, name);
  EXPECT_EQ(lines[0].status_text, "0");
  EXPECT_EQ(lines[1].name, "b");
}

TEST(StateFileTest, ALongerLineIsFlaggedTruncated) {
  const std::string name(StateFileReader::kMaxLineLength + 10, 'n');
  const auto lines = ReadAll(name + " 1\r\nb 1\r\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].truncated);
  EXPECT_FALSE(lines[1].truncated);
  EXPECT_EQ(lines[1].name, "b");
}

}  // namespace
}  // namespace qs
