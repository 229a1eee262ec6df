// What the check of a set reads: the SFV file's lines, the state file's lines, which volume is
// the first, and each volume's CRC.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "scan/first_volume.h"
#include "scan/sfv_file.h"
#include "scan/state_file.h"
#include "tests/support/fakes.h"

namespace qs {
namespace {

using Names = std::vector<std::string>;

TEST(ParseSfvLine, TrimsTheEndThenSplitsAtTheLastSpace) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"x.rar 1A2B3C4D", "x.rar", "1A2B3C4D"},
      {"my file.part01.rar 0badf00d", "my file.part01.rar", "0badf00d"},
      {"  lead.rar 12345678", "  lead.rar", "12345678"},
      {"x.rar 12345678  \t \t", "x.rar", "12345678"},
      {"x.rar 12345678\r", "x.rar", "12345678"},
      {"x.rar\t12345678", "", "x.rar\t12345678"},
      {"x.rar  12345678", "x.rar ", "12345678"},
      {"   ", "", ""},
      {"x.rar ", "", "x.rar"}};
  for (const auto& [line, name, crc] : cases) {
    const SfvEntry entry = ParseSfvLine(line);
    EXPECT_EQ(entry.name, name) << '"' << line << '"';
    EXPECT_EQ(entry.expected_crc, crc) << '"' << line << '"';
  }
}

TEST(CrcMatches, ComparesExactlyEightDigitsCaseBlind) {
  const std::tuple<std::uint32_t, const char*, bool> cases[] = {{0xCBF43926u, "cbf43926", true},
                                                                {0xCBF43926u, "0xCBF43926", false},
                                                                {0x0BADF00Du, "0BADF00D", true},
                                                                {0x0BADF00Du, "BADF00D", false},
                                                                {0u, "", false}};
  for (const auto& [crc, text, matches] : cases) {
    EXPECT_EQ(CrcMatches(crc, text), matches) << text;
  }
}

// Every line but column-zero comments, in order. A line too long for any file name, or a list
// cut short by a read error, leaves an entry with an empty name and CRC text, which never
// verifies: such a set is never complete.
TEST(ReadSfvFile, ReadsEveryLineButColumnZeroCommentsInOrder) {
  const std::tuple<test::FakeContent, Names, Names> cases[] = {
      {{"; comment\r\nx.rar 11111111\r\n\r\n ;y.rar 22222222\n;\nz z.rar 33333333  \t\nl.r00 4", 3},
       {"x.rar", "", " ;y.rar", "z z.rar", "l.r00"},
       {"11111111", "", "22222222", "33333333", "4"}},
      {{"; made by a tool\r\n;x.rar 12345678\r\n"}, {}, {}},
      {{std::string(100000, 'a') + " 00000000\r\nb.rar 12345678\r\n"},
       {"", "b.rar"},
       {"", "12345678"}},
      {{"a.rar 11111111\nb.rar 22222222\n", 4096, 15}, {"a.rar", ""}, {"11111111", ""}}};
  test::TestFileSystem fs;
  for (const auto& [content, names, crcs] : cases) {
    ArchiveSet set{"/d/x.sfv", "", {}, {}, {}, ""};
    fs.Serve(set.sfv_path, content);
    EXPECT_EQ(ReadSfvFile(fs, set), kErrorSuccess);
    EXPECT_EQ(set.entry_names, names);
    EXPECT_EQ(set.expected_crcs, crcs);
  }
  fs.fail_open = [](const std::string&) { return kErrorSharingViolation; };
  ArchiveSet set{"/d/x.sfv", "", {}, {}, {}, ""};
  EXPECT_EQ(ReadSfvFile(fs, set), kErrorSharingViolation);
}

TEST(StateFile, LinesSplitAtTheLastSpaceAndOnlyZeroAsksForAChecksum) {
  const std::tuple<const char*, const char*, const char*, bool> cases[] = {
      {"x.rar 0", "x.rar", "0", true},
      {"my file.rar 1", "my file.rar", "1", false},
      {"x.rar 0\t\r", "x.rar", "0", true},
      {"x.rar 00", "x.rar", "00", false},
      {"x.rar -1", "x.rar", "-1", false},
      {" 0", "", "0", true},
      {"0", "", "0", true},
      {"", "", "", false}};
  for (const auto& [text, name, status, verify_now] : cases) {
    const StateLine line = ParseStateLine(text);
    EXPECT_EQ(line.name, name) << text;
    EXPECT_EQ(line.status_text, status) << text;
    EXPECT_EQ(NeedsVerification(line), verify_now) << text;
  }
  // A name without a status (a shorter state file) is written as not verified.
  EXPECT_EQ(FormatStateFile({"my x.rar", "", "b"}, {1, 1}), "my x.rar 1\r\n 1\r\nb 0\r\n");
  EXPECT_EQ(FormatStateFile({"a"}, {1, 1, 1}), "a 1\r\n");
}

TEST(StateFileReader, ReadsLfAndCrLfAndEveryNameAnSfvLineCanHoldWhole) {
  const std::string longest(LineReader::kDefaultMaxLineLength - 1, 'n');
  const std::string longer(StateFileReader::kMaxLineLength + 10, 'n');
  StateFileReader reader(std::make_unique<test::FakeFile>(test::FakeContent{
      "a b.rar 1\r\nc.rar 0\n" + FormatStateFile({longest, longer}, {0, 1}) + "d.rar 1", 7}));
  std::vector<StateLine> lines;
  for (StateLine line; reader.Next(line);) {
    lines.push_back(line);
  }
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].name + "|" + lines[0].status_text + "|" + lines[1].status_text, "a b.rar|1|0");
  EXPECT_EQ(lines[2].name, longest);
  EXPECT_FALSE(lines[2].truncated);
  EXPECT_TRUE(lines[3].truncated);
  EXPECT_EQ(lines[4].name, "d.rar");
  EXPECT_FALSE(lines[4].truncated);
}

TEST(FirstVolume, TheLastCandidateInOrderWins) {
  const std::pair<Names, const char*> cases[] = {
      {{"x.rar", "x.r00", "x.r01"}, "x.rar"},
      {{"x.part01.rar", "x.part02.rar"}, "x.part01.rar"},
      {{"x.part1.rar", "x.part2.rar"}, "x.part1.rar"},
      {{"x.part001.rar", "x.part002.rar", "x.part100.rar"}, "x.part001.rar"},
      {{"x.001", "x.002"}, "x.001"},
      {{"x.part0001.rar", "x.part0002.rar"}, ""},
      // ".part" is searched in lower case only: with a capital P every volume is a candidate.
      {{"x.Part01.rar", "x.Part02.rar"}, "x.Part02.rar"},
      // The first ".part" decides, even inside a longer word.
      {{"my.party.part1.rar"}, ""},
      {{"x.sfv", "x.nfo", ""}, ""}};
  for (const auto& [names, expected] : cases) {
    std::string first;
    for (const std::string& name : names) {
      ApplyFirstVolumeRule(name, first);
    }
    EXPECT_EQ(first, expected) << names.front();
  }
}

}  // namespace
}  // namespace qs
