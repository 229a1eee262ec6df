// What a stranger may hand the program: SFV and state files of hostile sizes (one line
// of 100 MB, a million entries), dirs.cfg of a million records and damaged dirs.cfg records. No
// file ever costs 100 MiB, and a damaged record costs only itself. (Crashes on odd bytes are the
// fuzz targets' to find.)
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "config/dirs_file.h"
#include "config/settings_keys.h"
#include "scan/sfv_file.h"
#include "scan/state_file.h"
#include "tests/support/pass_rig.h"

namespace qs {
namespace {

using namespace std::string_literals;
using test::FakeContent;

constexpr std::size_t kMiB = 1u << 20;
constexpr std::size_t k100MB = 100 * kMiB;

// `count` pieces made by `piece` as they are read, a MiB a read.
FakeContent Pieces(std::size_t count, std::function<std::string(std::size_t)> piece) {
  return {"", kMiB, -1, count, std::move(piece)};
}
// `size` bytes (whole MiBs) of `fill`, then `tail`.
FakeContent Fill(std::size_t size, char fill, std::string tail = {}) {
  return Pieces(size / kMiB + 1,
                [=](std::size_t i) { return i < size / kMiB ? std::string(kMiB, fill) : tail; });
}
std::string EntryLine(std::size_t i) {
  char line[48];
  std::snprintf(line, sizeof line, "movie.part%07zu.rar %08X\r\n", i, static_cast<unsigned>(i));
  return line;
}

struct SizeCase {
  const char* label;
  bool sfv;  // else the state file
  std::function<FakeContent()> file;
  // The lines of the state file left: the SFV entries kept, the marker of a cut list included,
  // or for a state file the two of the set.
  long expected;
};

std::vector<SizeCase> SizeCases() {
  const std::size_t entry_cost = SfvEntryCost(ParseSfvLine(EntryLine(0)));
  return {
      {"SfvOneLineOf100MB", true, [] { return Fill(k100MB, 'a', " 00000000\n"); }, 1},
      {"SfvAMillionEntries", true, [] { return Pieces(1000000, EntryLine); },
       static_cast<long>(kMaxSfvEntryBytes / entry_cost + 1)},
      {"StateOneLineOf100MB", false, [] { return Fill(k100MB, 'a', " 0\r\n"); }, 2},
  };
}

class HostileSizeTest : public ::testing::TestWithParam<SizeCase> {};

// The file is read by a whole pass over a set of two volumes, which leaves the state file of one
// line per entry kept.
TEST_P(HostileSizeTest, NeverNeeds100MiB) {
  const SizeCase& c = GetParam();
  test::PassRig rig;
  rig.WriteSet("in/D", "x.sfv", {{"a.rar", "aaa"}, {"b.rar", "bbb"}});
  rig.AddRow(rig.temp.Path("in"));
  WriteInt(rig.settings, Setting::DeleteQuarrystream, 0);
  rig.fs.Serve(c.sfv ? rig.temp.Path("in/D/x.sfv") : rig.StateFile("in/D"), c.file());
  // Each test runs in a process of its own, so the peak so far is the kit's.
  rusage before{};
  ::getrusage(RUSAGE_SELF, &before);
  ASSERT_EQ(rig.RunPass(), 1u);
  rusage after{};
  ::getrusage(RUSAGE_SELF, &after);
  if (!QS_SANITIZED) {  // a sanitizer keeps freed memory in quarantine
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 100 << 10) << "KiB";
  }
  StateFileReader reader(std::make_unique<test::TextFile>(test::ReadFile(rig.StateFile("in/D"))));
  long lines = 0;
  for (StateLine line; reader.Next(line);) {
    ++lines;
  }
  EXPECT_EQ(lines, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, HostileSizeTest, ::testing::ValuesIn(SizeCases()),
                         [](const auto& info) { return info.param.label; });

// A million cheap records: the list stops at its bound instead of taking them all.
TEST(HostileDirsTest, AMillionRecordsStayWithinTheBound) {
  test::FakeFile file(Pieces(
      1000000, [](std::size_t i) { return "1\r\n/in/" + std::to_string(i) + "\r\n/o\r\n"; }));
  std::size_t cost = 0;
  for (const WatchEntry& entry : ParseDirs(file)) {
    cost += sizeof(WatchEntry) + entry.source.size() + entry.destination.size();
  }
  EXPECT_LE(cost, kMaxDirsEntryBytes);
}

// A NUL byte or a lone CR drops only its own record, and whatever was kept can be saved: one
// damaged record never blocks every later save.
TEST(HostileDirsTest, ADamagedRecordDropsOnlyItselfAndTheRestCanBeSaved) {
  const std::pair<std::string, std::vector<WatchEntry>> cases[] = {
      {"1\n/a\n/b\n"s + "1\n/c\0d\n/e\n"s + "0\n/f\n/g\n", {{"/a", "/b", 1}, {"/f", "/g", 0}}},
      {"1\n/a\r/x\n/b\n2\n/c\n/d\r\r\n", {}},
      {"1\r/a\r/b\r", {}}};  // CR-only line ends make one line
  for (const auto& [text, expected] : cases) {
    for (const std::size_t chunk : {std::size_t{1}, std::size_t{5}, std::size_t{65536}}) {
      test::TextFile file(text, chunk);
      const std::vector<WatchEntry> entries = ParseDirs(file);
      EXPECT_EQ(entries, expected) << "read size " << chunk;
      test::TempDir temp;
      WatchList list;
      list.Replace(entries);
      EXPECT_TRUE(SaveDirs(RealFileSystem(), temp.Path("dirs.cfg"), list));
    }
  }
}

}  // namespace
}  // namespace qs
