// SFV and state files as a stranger's download may hold them: junk, one line of 100 MB,
// millions of lines, names longer than any file system takes. The readers must neither crash
// nor hang, and one file never costs 100 MiB. Odd bytes (NUL, CR-only line ends, invalid UTF-8)
// are the line reader's tests, and the fuzz targets'.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "config/settings_keys.h"
#include "platform/line_reader.h"
#include "scan/sfv_file.h"
#include "scan/state_file.h"
#include "tests/reliability/pass_rig.h"
#include "tests/reliability/reliability_support.h"
#include "tests/support/faulty_file_system.h"

namespace qs {
namespace {

using test::FillFile;
using test::Junk;
using test::kMiB;
using test::LinesFile;
using test::PassRig;
using test::RunInChild;
using test::ServingFileSystem;
using test::TextFile;

constexpr long kMemoryBound = 100 * kMiB;
constexpr const char* kSfv = "/in/x.sfv";

ArchiveSet ReadSfv(ServingFileSystem& fs) {
  ArchiveSet set;
  set.sfv_path = kSfv;
  set.set_directory = "/in/";
  EXPECT_EQ(ReadSfvFile(fs, set), kErrorSuccess);
  return set;
}

// The most entries kMaxSfvEntryBytes allows, each as cheap as an entry can be, plus the one
// that marks a cut list.
constexpr std::size_t kMostSfvEntries =
    kMaxSfvEntryBytes / (2 * sizeof(std::string) + sizeof(std::uint32_t)) + 1;

// A whole pass over one set whose SFV or state file is served from `sfv` or `state` (either may
// be null: then the disk's file is read). Runs in a child of its own, whose peak memory growth
// is measured; the child answers how many SFV entries the set check kept.
test::ChildRun PassOverServedFiles(const std::function<std::unique_ptr<ReadableFile>()>& sfv,
                                   const std::function<std::unique_ptr<ReadableFile>()>& state) {
  PassRig rig;
  rig.WriteSet("in/D", "x.sfv", {{"a.rar", "aaa"}, {"b.rar", "bbb"}});
  rig.AddRow(rig.temp.Path("in"));
  WriteInt(rig.settings, Setting::DeleteQuarrystream, 0);
  return RunInChild([&]() -> long {
    ServingFileSystem fs(RealFileSystem());
    if (sfv) {
      fs.Serve(rig.temp.Path("in/D/x.sfv"), sfv);
    }
    if (state) {
      fs.Serve(rig.StateFile("in/D"), state);
    }
    if (rig.Run(fs) != 1) {
      return -1;
    }
    StateFileReader reader(std::make_unique<TextFile>(test::ReadFile(rig.StateFile("in/D"))));
    long lines = 0;
    for (StateLine line; reader.Next(line);) {
      ++lines;
    }
    return lines;
  });
}

constexpr std::size_t k100MB = 100u << 20;

// 100 MB of junk in 4 KB lines of a 1 MB block, each from another offset.
std::unique_ptr<ReadableFile> JunkOf100MB(unsigned seed) {
  static const std::string block = Junk(1u << 20, 3);
  return std::make_unique<LinesFile>(k100MB / 4096, [seed](std::size_t i) {
    return block.substr((i * 7919 + seed) % (block.size() - 4096), 4096);
  });
}

std::string EntryLine(std::size_t i) {
  char line[48];
  std::snprintf(line, sizeof line, "movie.part%07zu.rar %08X\r\n", i, static_cast<unsigned>(i));
  return line;
}

struct SfvSizeCase {
  const char* label;
  std::function<std::unique_ptr<ReadableFile>()> file;
  std::size_t entries;  // what the reader keeps, the marker of a cut list included
};

std::vector<SfvSizeCase> SfvSizeCases() {
  const std::size_t empty_cost = SfvEntryCost({});
  return {
      {"OneLineOf100MB", [] { return std::make_unique<FillFile>(k100MB, 'a', " 00000000\n"); }, 1},
      {"AMillionEntries", [] { return std::make_unique<LinesFile>(1000000, EntryLine); },
       kMaxSfvEntryBytes / SfvEntryCost(ParseSfvLine(EntryLine(0))) + 1},
      {"HundredMBOfEmptyLines", [] { return std::make_unique<FillFile>(k100MB, '\n'); },
       kMaxSfvEntryBytes / empty_cost + 1},
      {"ThousandNamesOf60KB",
       [] {
         return std::make_unique<LinesFile>(
             1000, [](std::size_t) { return std::string(60000, 'n') + " 00000000\n"; });
       },
       kMaxSfvEntryBytes / (empty_cost + 60000 + 8) + 1},
      {"HundredMBOfJunk", [] { return JunkOf100MB(1); },
       0},  // whatever the junk gives, within the bound
  };
}

class SfvSizeTest : public ::testing::TestWithParam<SfvSizeCase> {};

TEST_P(SfvSizeTest, ReaderKeepsWhatTheBoundAllows) {
  ServingFileSystem fs(RealFileSystem());
  fs.Serve(kSfv, GetParam().file);
  const ArchiveSet set = ReadSfv(fs);
  ASSERT_EQ(set.entry_names.size(), set.expected_crcs.size());
  if (GetParam().entries != 0) {
    EXPECT_EQ(set.entry_names.size(), GetParam().entries);
  }
  EXPECT_LE(set.entry_names.size(), kMostSfvEntries);
  if (set.entry_names.size() > 1) {
    // A cut list ends in an entry that never verifies.
    EXPECT_EQ(set.entry_names.back(), "");
    EXPECT_EQ(set.expected_crcs.back(), "");
  }
}

TEST_P(SfvSizeTest, APassOverItNeverNeeds100MiB) {
  const test::ChildRun run = PassOverServedFiles(GetParam().file, nullptr);
  ASSERT_GE(run.peak_growth, 0) << "the pass did not end normally";
  RecordProperty("peak_growth_kib", static_cast<int>(run.peak_growth / 1024));
  if (GetParam().entries != 0) {
    EXPECT_EQ(run.result, static_cast<long>(GetParam().entries));
  }
  if (!test::kSanitized) {
    EXPECT_LT(run.peak_growth, kMemoryBound) << run.peak_growth / kMiB << " MiB";
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, SfvSizeTest, ::testing::ValuesIn(SfvSizeCases()),
                         [](const auto& info) { return info.param.label; });

struct StateSizeCase {
  const char* label;
  std::function<std::unique_ptr<ReadableFile>()> file;
};

std::vector<StateSizeCase> StateSizeCases() {
  return {
      {"HundredMBOfEmptyLines", [] { return std::make_unique<FillFile>(k100MB, '\n'); }},
      {"OneLineOf100MB", [] { return std::make_unique<FillFile>(k100MB, 'a', " 0\r\n"); }},
      {"AMillionLines",
       [] {
         return std::make_unique<LinesFile>(
             1000000, [](std::size_t i) { return "old.part" + std::to_string(i) + ".rar 0\r\n"; });
       }},
      {"HundredMBOfJunk", [] { return JunkOf100MB(2); }},
  };
}

class StateSizeTest : public ::testing::TestWithParam<StateSizeCase> {};

// The set has two entries; whatever the state file holds, the pass reads no more of it than
// pairs with them, ends normally and leaves a state file of exactly two lines.
TEST_P(StateSizeTest, APassOverItNeverNeeds100MiB) {
  const test::ChildRun run = PassOverServedFiles(nullptr, GetParam().file);
  ASSERT_GE(run.peak_growth, 0) << "the pass did not end normally";
  RecordProperty("peak_growth_kib", static_cast<int>(run.peak_growth / 1024));
  EXPECT_EQ(run.result, 2);
  if (!test::kSanitized) {
    EXPECT_LT(run.peak_growth, kMemoryBound) << run.peak_growth / kMiB << " MiB";
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, StateSizeTest, ::testing::ValuesIn(StateSizeCases()),
                         [](const auto& info) { return info.param.label; });

TEST(HostileSfvTest, AReadErrorPartWayNeverCompletesTheSet) {
  PassRig rig;
  rig.WriteSet("in/D", "x.sfv", {{"a.rar", "aaa"}, {"b.rar", "bbb"}});
  rig.AddRow(rig.temp.Path("in"));
  test::FaultyFileSystem fs(RealFileSystem());
  // The SFV file breaks off after its comment and the first entry; b.rar is never listed.
  const std::string sfv = test::ReadFile(rig.temp.Path("in/D/x.sfv"));
  fs.FailReadsAfter("x.sfv", sfv.find("b.rar"));
  ASSERT_EQ(rig.Run(fs), 1u);
  EXPECT_TRUE(rig.recorder.performed.empty());
  // Read whole again, the list pairs b.rar with the marker's state line, which rebuilds it;
  // the pass after that completes the set.
  fs.ClearFaults();
  ASSERT_EQ(rig.Run(fs), 1u);
  EXPECT_TRUE(rig.recorder.performed.empty());
  ASSERT_EQ(rig.Run(fs), 1u);
  EXPECT_EQ(rig.recorder.performed.size(), 1u);
}

// Longer than a file name (NAME_MAX), than a path (PATH_MAX), than a line is kept: each entry
// simply never verifies, and the pass goes on with the rest.
TEST(HostileSfvTest, NamesLongerThanAnyFileNameNeverVerify) {
  PassRig rig;
  std::string sfv = "ok.rar " + test::CrcOf("ok") + "\r\n";
  for (const std::size_t length : {std::size_t{256}, std::size_t{5000}, std::size_t{70000}}) {
    sfv += std::string(length, 'n') + " 00000000\r\n";
  }
  rig.temp.WriteFile("in/D/x.sfv", sfv);
  rig.temp.WriteFile("in/D/ok.rar", "ok");
  rig.WriteSet("in/D/E", "y.sfv", {{"y.rar", "yyy"}});
  rig.AddRow(rig.temp.Path("in"));
  test::FaultyFileSystem fs(RealFileSystem());
  WriteInt(rig.settings, Setting::DeleteQuarrystream, 0);
  ASSERT_EQ(rig.Run(fs), 1u);
  EXPECT_EQ(rig.CompletedSfvPaths(), std::vector<std::string>{rig.temp.Path("in/D/E/y.sfv")});
  EXPECT_TRUE(test::ReadFile(rig.StateFile("in/D")).starts_with("ok.rar 1\r\n"));
}

}  // namespace
}  // namespace qs
