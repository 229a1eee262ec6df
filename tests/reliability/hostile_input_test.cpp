// What a stranger may hand the program: SFV, state and dirs.cfg files of hostile sizes (one line
// of 100 MB, millions of lines, 100 MB of junk), damaged dirs.cfg records and hostile "/ADDDIR:"
// commands. No file ever costs 100 MiB, and every record written whole reads back whole.
// (Crashes on odd bytes are the fuzz targets' to find.)
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "config/add_dir_command.h"
#include "config/dirs_file.h"
#include "config/settings_keys.h"
#include "config/user_messages.h"
#include "config/watch_list_editor.h"
#include "platform/command_line.h"
#include "scan/sfv_file.h"
#include "scan/state_file.h"
#include "tests/support/child_process.h"
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
// 100 MB of junk in 4 KB lines of a 1 MB block, each from another offset.
FakeContent Junk(unsigned seed) {
  return Pieces(k100MB / 4096, [seed](std::size_t i) {
    static const std::string block = test::RandomBytes(kMiB, 3);
    return block.substr((i * 7919 + seed) % (block.size() - 4096), 4096);
  });
}
std::string EntryLine(std::size_t i) {
  char line[48];
  std::snprintf(line, sizeof line, "movie.part%07zu.rar %08X\r\n", i, static_cast<unsigned>(i));
  return line;
}

enum class Read { kSfv, kState, kDirs };

struct SizeCase {
  const char* label;
  Read read;
  std::function<FakeContent()> file;
  // kSfv: the SFV entries kept, the marker of a cut list included (0: any within the bound);
  // kState: the set has two entries, so the state file left has two lines.
  long expected;
};

std::vector<SizeCase> SizeCases() {
  const std::size_t empty = SfvEntryCost({});
  const auto entries = [](std::size_t cost) {
    return static_cast<long>(kMaxSfvEntryBytes / cost + 1);
  };
  return {
      {"SfvOneLineOf100MB", Read::kSfv, [] { return Fill(k100MB, 'a', " 00000000\n"); }, 1},
      {"SfvAMillionEntries", Read::kSfv, [] { return Pieces(1000000, EntryLine); },
       entries(SfvEntryCost(ParseSfvLine(EntryLine(0))))},
      {"SfvHundredMBOfEmptyLines", Read::kSfv, [] { return Fill(k100MB, '\n'); }, entries(empty)},
      {"SfvThousandNamesOf60KB", Read::kSfv,
       [] {
         return Pieces(1000, [](std::size_t) { return std::string(60000, 'n') + " 00000000\n"; });
       },
       entries(empty + 60000 + 8)},
      {"SfvHundredMBOfJunk", Read::kSfv, [] { return Junk(1); }, 0},
      {"StateHundredMBOfEmptyLines", Read::kState, [] { return Fill(k100MB, '\n'); }, 2},
      {"StateOneLineOf100MB", Read::kState, [] { return Fill(k100MB, 'a', " 0\r\n"); }, 2},
      {"StateAMillionLines", Read::kState,
       [] {
         return Pieces(1000000, [](std::size_t i) { return "old" + std::to_string(i) + " 0\r\n"; });
       },
       2},
      {"StateHundredMBOfJunk", Read::kState, [] { return Junk(2); }, 2},
      {"DirsAMillionRecords", Read::kDirs,
       [] {
         return Pieces(3000000, [](std::size_t i) {
           return i % 3 == 0   ? "1\r\n"s
                  : i % 3 == 1 ? "/in/" + std::to_string(i) + "\r\n"
                               : "/o\r\n"s;
         });
       },
       0},
      {"DirsHundredMBOfEmptyLines", Read::kDirs, [] { return Fill(k100MB, '\n'); }, 0},
      {"DirsOneLineOf100MB", Read::kDirs, [] { return Fill(k100MB, '/', "\n/a\n/b\n"); }, 0},
  };
}

class HostileSizeTest : public ::testing::TestWithParam<SizeCase> {};

// SFV and state files are read by a whole pass over a set of two volumes, which leaves the state
// file of one line per entry kept; dirs.cfg is parsed, its records' cost measured.
TEST_P(HostileSizeTest, NeverNeeds100MiB) {
  const SizeCase& c = GetParam();
  test::PassRig rig;
  rig.WriteSet("in/D", "x.sfv", {{"a.rar", "aaa"}, {"b.rar", "bbb"}});
  rig.AddRow(rig.temp.Path("in"));
  WriteInt(rig.settings, Setting::DeleteQuarrystream, 0);
  const test::ChildRun run = test::RunInChild([&]() -> long {
    if (c.read == Read::kDirs) {
      test::FakeFile file(c.file());
      std::size_t cost = 0;
      for (const WatchEntry& entry : ParseDirs(file)) {
        cost += sizeof(WatchEntry) + entry.source.size() + entry.destination.size();
      }
      return cost <= kMaxDirsEntryBytes ? 0 : -1;
    }
    rig.fs.Serve(c.read == Read::kSfv ? rig.temp.Path("in/D/x.sfv") : rig.StateFile("in/D"),
                 c.file());
    if (rig.RunPass() != 1) {
      return -1;
    }
    StateFileReader reader(std::make_unique<test::TextFile>(test::ReadFile(rig.StateFile("in/D"))));
    long lines = 0;
    for (StateLine line; reader.Next(line);) {
      ++lines;
    }
    return lines;
  });
  ASSERT_GE(run.peak_growth, 0) << "the work did not end normally";
  RecordProperty("peak_growth_kib", static_cast<int>(run.peak_growth / 1024));
  if (c.expected != 0) {
    EXPECT_EQ(run.result, c.expected);
  }
  EXPECT_GE(run.result, 0);
  EXPECT_LE(run.result, static_cast<long>(kMaxSfvEntryBytes / (2 * sizeof(std::string) + 4) + 1));
  if (!test::kSanitized) {
    EXPECT_LT(run.peak_growth, static_cast<long>(k100MB)) << run.peak_growth / kMiB << " MiB";
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, HostileSizeTest, ::testing::ValuesIn(SizeCases()),
                         [](const auto& info) { return info.param.label; });

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

// A file cut at any byte gives the records before the cut whole; only the record the cut falls
// in may differ, and then only by a shortened last line.
TEST(HostileDirsTest, RecordsCutAnywhereKeepEveryRecordBeforeTheCut) {
  const std::vector<WatchEntry> entries = {
      {"/in one", "/out one", 1}, {"/in \"two\"", "/out/two", 0}, {"/in/3", "/o3", 7}};
  const std::string text = FormatDirs(entries);
  std::vector<std::size_t> ends;  // where each record's CR LF ends
  for (std::size_t i = 1; i <= entries.size(); ++i) {
    ends.push_back(FormatDirs({entries.begin(), entries.begin() + i}).size());
  }
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    test::TextFile file(text.substr(0, cut), 3);
    const std::vector<WatchEntry> parsed = ParseDirs(file);
    ASSERT_LE(parsed.size(), entries.size()) << cut;
    const auto whole = static_cast<std::size_t>(
        std::count_if(ends.begin(), ends.end(), [&](std::size_t end) { return end <= cut; }));
    EXPECT_GE(parsed.size(), whole) << "cut at " << cut;
    for (std::size_t i = 0; i < parsed.size(); ++i) {
      if (cut + 2 >= ends[i]) {
        EXPECT_EQ(parsed[i], entries[i]) << "cut at " << cut;
      } else {
        EXPECT_EQ(parsed[i].source, entries[i].source) << "cut at " << cut;
        EXPECT_TRUE(entries[i].destination.starts_with(parsed[i].destination)) << cut;
      }
    }
  }
}

class RecordingMessages final : public UserMessages, public AddDirectoryFrontEnd {
 public:
  void ShowMessage(std::string_view text, std::string_view, MessageIcon) override {
    shown.emplace_back(text);
  }
  bool AskYesNo(std::string_view, std::string_view) override { return true; }
  void BringToFront() override {}
  std::string AskDirectory(std::string_view) override { return "/out"; }
  std::vector<std::string> shown;
};

// What the window does with a hostile command: the path is added as literal text, or refused
// with a reason and dirs.cfg left untouched.
TEST(HostileAddDirTest, APathIsAddedLiterallyOrRefusedWithItsReason) {
  const std::string marker(kAddDirMarker);
  const std::string refused = "This directory cannot be stored in dirs.cfg: its path ";
  const std::tuple<std::string, std::optional<std::string>, std::string> cases[] = {
      {"x " + marker + "\"/in/$(touch canary) `id`;|&\"", "/in/$(touch canary) `id`;|&", ""},
      {marker + "-rf", "-rf", ""},
      {marker + "/in/a\nb", std::nullopt, refused + "holds a line break."},
      {marker + "/in/a"s + '\0' + "b", std::nullopt, refused + "holds a NUL byte."},
      {marker + std::string(1u << 20, 'p'), std::nullopt, refused + "is too long."}};
  for (const auto& [command, added, message] : cases) {
    test::TempDir temp;
    const std::string before = "1\r\n/first\r\n/out\r\n";
    const std::string dirs = temp.WriteFile("dirs.cfg", before);
    WatchList list;
    RecordingMessages ui;
    MemorySettingsStore settings;
    test::TestFileSystem fs;
    WatchListEditor editor(fs, dirs, list, ui, settings);
    editor.LoadDirs();
    editor.AddDirectoryFromCommand(ParseAddDirCommand(command).value(), ui);
    EXPECT_EQ(test::ReadFile(dirs), added ? before + "1\r\n" + *added + "\r\n/out\r\n" : before);
    EXPECT_EQ(fs.Calls(test::FsOperation::kWriteFileAtomically) > 0, added.has_value());
    EXPECT_EQ(ui.shown,
              message.empty() ? std::vector<std::string>{} : std::vector<std::string>{message});
  }
}

// The program of an unquoted line is looked for at every blank; no file has a path of PATH_MAX
// bytes, so a long line costs no more tries than a short one.
TEST(HostileCommandLineTest, AnUnquotedProgramIsLookedForOnlyWithinThePathLimit) {
  std::size_t tries = 0;
  auto nothing_runs = [&](const std::string&) {
    ++tries;
    return false;
  };
  EXPECT_TRUE(ResolveCommandLine("x" + std::string(1u << 20, ' '), nothing_runs).empty());
  EXPECT_LE(tries, static_cast<std::size_t>(PATH_MAX));
}

}  // namespace
}  // namespace qs
