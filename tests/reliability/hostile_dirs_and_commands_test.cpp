// dirs.cfg, the "/ADDDIR:" command and the Windows command-line splitter under hostile input:
// no crash, no hang, bounded memory, and every record that was written whole reads back whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "config/add_dir_command.h"
#include "config/dirs_file.h"
#include "config/memory_settings_store.h"
#include "config/user_messages.h"
#include "config/watch_list.h"
#include "config/watch_list_editor.h"
#include "platform/command_line.h"
#include "tests/reliability/reliability_support.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

using namespace std::string_literals;
using test::FillFile;
using test::Junk;
using test::kMiB;
using test::LinesFile;
using test::TextFile;

struct DirsSizeCase {
  const char* label;
  std::function<std::unique_ptr<ReadableFile>()> file;
};

std::vector<DirsSizeCase> DirsSizeCases() {
  return {
      {"AMillionRecords",
       [] {
         return std::make_unique<LinesFile>(3000000, [](std::size_t i) {
           return i % 3 == 0 ? "1\r\n"s
                             : (i % 3 == 1 ? "/in/" + std::to_string(i) + "\r\n" : "/out\r\n"s);
         });
       }},
      {"HundredMBOfEmptyLines", [] { return std::make_unique<FillFile>(100u << 20, '\n'); }},
      {"OneLineOf100MB", [] { return std::make_unique<FillFile>(100u << 20, '/', "\n/a\n/b\n"); }},
  };
}

class DirsSizeTest : public ::testing::TestWithParam<DirsSizeCase> {};

TEST_P(DirsSizeTest, ParsingNeverNeeds100MiB) {
  const test::ChildRun run = test::RunInChild([&] {
    const std::unique_ptr<ReadableFile> file = GetParam().file();
    std::size_t cost = 0;
    for (const WatchEntry& entry : ParseDirs(*file)) {
      cost += sizeof(WatchEntry) + entry.source.size() + entry.destination.size();
    }
    return static_cast<long>(cost);
  });
  ASSERT_GE(run.peak_growth, 0);
  EXPECT_LE(run.result, static_cast<long>(kMaxDirsEntryBytes));
  if (!test::kSanitized) {
    EXPECT_LT(run.peak_growth, 100 * kMiB) << run.peak_growth / kMiB << " MiB";
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, DirsSizeTest, ::testing::ValuesIn(DirsSizeCases()),
                         [](const auto& info) { return info.param.label; });

struct DirsText {
  const char* label;
  std::string text;
  std::vector<WatchEntry> expected;  // checked unless `any` is set
  bool any = false;
};

std::vector<DirsText> DirsTexts() {
  const std::string huge(kMaxStoredPathLength + 1, 'h');
  return {
      {"BinaryJunk", Junk(256 * 1024, 5), {}, true},
      {"NulInAPathDropsOnlyItsRecord",
       "1\n/a\n/b\n"s + "1\n/c\0d\n/e\n"s + "0\n/f\n/g\n",
       {{"/a", "/b", 1}, {"/f", "/g", 0}}},
      {"LoneCrInAPathDropsOnlyItsRecord", "1\n/a\r/x\n/b\n2\n/c\n/d\r\r\n", {}},
      {"CrOnlyLineEndsAreOneLine", "1\r/a\r/b\r", {}},
      {"InvalidUtf8IsKept", "1\n/\xff\xfe\n/\xc3(\n", {{"/\xff\xfe", "/\xc3(", 1}}},
      {"TooLongALineDropsItsRecordAndKeepsTheNextAligned",
       "1\n" + huge + "\n/b\n0\n/c\n/d\n",
       {{"/c", "/d", 0}}},
      {"IncludeBeyond32Bits",
       "99999999999\n/a\n/b\n-99999999999\n/c\n/d\n",
       {{"/a", "/b", INT32_MAX}, {"/c", "/d", INT32_MIN}}},
  };
}

class HostileDirsTextTest : public ::testing::TestWithParam<DirsText> {};

TEST_P(HostileDirsTextTest, KeepsOnlyRecordsThatCanBeWrittenBack) {
  for (std::size_t chunk : {std::size_t{1}, std::size_t{5}, std::size_t{65536}}) {
    TextFile file(GetParam().text, chunk);
    const std::vector<WatchEntry> entries = ParseDirs(file);
    for (const WatchEntry& entry : entries) {
      EXPECT_TRUE(IsStorablePath(entry.source));
      EXPECT_TRUE(IsStorablePath(entry.destination));
    }
    if (!GetParam().any) {
      EXPECT_EQ(entries, GetParam().expected) << "read size " << chunk;
    }
    // Whatever was kept can be saved: one damaged record never blocks every later save.
    test::TempDir temp;
    WatchList list;
    list.Replace(entries);
    EXPECT_TRUE(SaveDirs(RealFileSystem(), temp.Path("dirs.cfg"), list));
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, HostileDirsTextTest, ::testing::ValuesIn(DirsTexts()),
                         [](const auto& info) { return info.param.label; });

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
    TextFile file(text.substr(0, cut), 3);
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

class RecordingMessages final : public UserMessages {
 public:
  void ShowMessage(std::string_view text, std::string_view, MessageIcon) override {
    shown.emplace_back(text);
  }
  bool AskYesNo(std::string_view, std::string_view) override { return true; }
  std::vector<std::string> shown;
};

class FixedFrontEnd final : public AddDirectoryFrontEnd {
 public:
  void BringToFront() override {}
  std::string AskDirectory(std::string_view) override {
    ++asked;
    return "/out";
  }
  int asked = 0;
};

struct CommandCase {
  const char* label;
  std::string text;
  std::optional<std::string> added;  // the source now last in dirs.cfg; nullopt: file untouched
  std::string message;               // what the user is told, if anything
};

std::vector<CommandCase> CommandCases() {
  const std::string marker(kAddDirMarker);
  return {
      {"Empty", "", std::nullopt, ""},
      {"NoMarker", "/home/me/in", std::nullopt, ""},
      {"LowerCaseMarker", "/adddir:/in", std::nullopt, ""},
      {"MarkerCutShort", "/ADDDIR", std::nullopt, ""},
      {"BinaryJunk", Junk(64 * 1024, 9), std::nullopt, ""},
      {"OnlyTheMarker", marker, std::nullopt, "You must have a source directory!"},
      {"OnlyQuotes", marker + "\"\"\"", std::nullopt, "You must have a source directory!"},
      {"QuotedWithShellText", "x " + marker + "\"/in/$(touch canary) `id`;|&\"",
       "/in/$(touch canary) `id`;|&", ""},
      {"LeadingDash", marker + "-rf", "-rf", ""},
      {"InvalidUtf8", marker + "/in/\xff\xfe", "/in/\xff\xfe", ""},
      {"LineBreak", marker + "/in/a\nb", std::nullopt,
       "This directory cannot be stored in dirs.cfg: its path holds a line break."},
      {"NulByte", marker + "/in/a"s + '\0' + "b", std::nullopt,
       "This directory cannot be stored in dirs.cfg: its path holds a NUL byte."},
      {"LongerThanAnyPath", marker + std::string(1u << 20, 'p'), std::nullopt,
       "This directory cannot be stored in dirs.cfg: its path is too long."},
  };
}

class AddDirCommandTest : public ::testing::TestWithParam<CommandCase> {};

// What the window does with a command line: a text without the marker is no command.
TEST_P(AddDirCommandTest, HandlesTheCommandOrIgnoresTheText) {
  test::TempDir temp;
  const std::string dirs = temp.WriteFile("dirs.cfg", "1\r\n/first\r\n/out\r\n");
  test::FaultyFileSystem fs(RealFileSystem());
  WatchList list;
  RecordingMessages messages;
  MemorySettingsStore settings;
  WatchListEditor editor(fs, dirs, list, messages, settings);
  editor.LoadDirs();
  FixedFrontEnd front_end;

  if (const std::optional<std::string> path = ParseAddDirCommand(GetParam().text)) {
    EXPECT_EQ(path->find('"'), std::string::npos);
    editor.AddDirectoryFromCommand(*path, front_end);
  }

  if (GetParam().added) {
    EXPECT_EQ(test::ReadFile(dirs),
              "1\r\n/first\r\n/out\r\n1\r\n" + *GetParam().added + "\r\n/out\r\n");
    EXPECT_EQ(front_end.asked, 1);
  } else {
    EXPECT_EQ(test::ReadFile(dirs), "1\r\n/first\r\n/out\r\n");
    EXPECT_EQ(fs.Calls(test::FsOperation::kWriteFileAtomically), 0);
    EXPECT_EQ(front_end.asked, 0);
  }
  EXPECT_EQ(messages.shown, GetParam().message.empty()
                                ? std::vector<std::string>{}
                                : std::vector<std::string>{GetParam().message});
}

INSTANTIATE_TEST_SUITE_P(Texts, AddDirCommandTest, ::testing::ValuesIn(CommandCases()),
                         [](const auto& info) { return info.param.label; });

TEST(HostileCommandLineTest, HostileTextsSplitWithoutCrashing) {
  const std::vector<std::string> texts = {
      Junk(1u << 20, 11),         std::string(1u << 20, '\\'),        std::string(1u << 20, '"'),
      std::string(1u << 20, ' '), "\"" + std::string(1u << 20, '\\'), "a\0b \"c\0d\" \\\0"s,
  };
  for (const std::string& text : texts) {
    const std::vector<std::string> split = SplitCommandLine(text);
    std::size_t kept = 0;
    for (const std::string& argument : split) {
      kept += argument.size();
    }
    EXPECT_LE(kept, text.size());
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
