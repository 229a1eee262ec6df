// The watch list: the list the worker reads while the window changes it, the editor that keeps
// dirs.cfg its master copy, and the "/ADDDIR:" command that adds to it.
#include "config/watch_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "config/add_dir_command.h"
#include "config/dirs_file.h"
#include "config/memory_settings_store.h"
#include "config/settings_keys.h"
#include "config/user_messages.h"
#include "config/watch_list_editor.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

WatchEntry Entry(char fill, std::int32_t include) {
  return {std::string(64, fill), std::string(64, fill), include};
}

// The worker's side of the contract: while the window's thread reloads, removes, appends and
// toggles, every row copy is one whole entry, never a mix of two or a freed one.
TEST(WatchList, WorkerCopiesWholeRowsWhileTheWindowChangesTheList) {
  WatchList list;
  std::atomic<bool> done{false};
  int bad = 0;  // written by the worker only, read after the join
  std::thread worker([&] {
    for (WatchEntry row; !done.load();) {
      for (std::size_t i = 0; i < list.Count(); ++i) {
        // CopyRow fails when the list shrank since the count; a copy is one whole entry.
        if (list.CopyRow(i, row) && row != Entry(row.source[0], row.source[0]) &&
            row != Entry(row.source[0], 0)) {
          ++bad;
        }
      }
    }
  });
  for (int round = 0; round < 3000; ++round) {
    const char fill = static_cast<char>('a' + round % 26);
    list.Replace({Entry(fill, fill), Entry('z', 'z')});
    list.Append(Entry('y', 'y'));
    list.SetInclude(0, 0);
    list.RemoveAt(1);
  }
  done = true;
  worker.join();
  EXPECT_EQ(bad, 0);
}

TEST(ParseAddDirCommand, TakesEverythingAfterTheFirstMarkerWithoutQuotes) {
  for (const char* no_command : {"", "/home/me/in", "/adddir:/x", "/ADDDIR"}) {
    EXPECT_EQ(ParseAddDirCommand(no_command), std::nullopt) << no_command;
  }
  const std::pair<const char*, std::string> cases[] = {{"/ADDDIR:", ""},
                                                       {"/ADDDIR:\"\"", ""},
                                                       {"/ADDDIR:\"D:\\My Files\"", "D:\\My Files"},
                                                       {"--x /ADDDIR:/a b", "/a b"},
                                                       {"/ADDDIR: /a \t", " /a \t"},
                                                       {"\"/ADDDIR:/a\"/b\"", "/a/b"},
                                                       {"/ADDDIR:/a /ADDDIR:/b", "/a /ADDDIR:/b"}};
  for (const auto& [text, path] : cases) {
    EXPECT_EQ(ParseAddDirCommand(text), path) << text;
  }
}

constexpr std::string_view kTwoEntries = "1\r\n/in\r\n/out\r\n0\r\n/b\r\n/c\r\n";
constexpr std::string_view kSaveError = "Error saving dirs.cfg|Mirrowen";

// Records every box as "text|caption", a question as "?text|caption"; answers `answer`.
class RecordingUi final : public UserMessages, public AddDirectoryFrontEnd {
 public:
  bool answer = false;
  std::string destination;
  std::vector<std::string> shown;

  void ShowMessage(std::string_view text, std::string_view caption, MessageIcon) override {
    shown.push_back(std::string(text) + "|" + std::string(caption));
  }
  bool AskYesNo(std::string_view text, std::string_view caption) override {
    shown.push_back("?" + std::string(text) + "|" + std::string(caption));
    return answer;
  }
  void BringToFront() override { shown.push_back("front"); }
  std::string AskDirectory(std::string_view prompt) override {
    shown.push_back("ask:" + std::string(prompt));
    return destination;
  }
};

class WatchListEditorTest : public ::testing::Test {
 protected:
  WatchListEditorTest() {
    editor_.SetReloadedCallback([this] { ++reloads_; });
    Reset();
  }
  void Reset() {
    dir_.WriteFile("dirs.cfg", kTwoEntries);
    editor_.LoadDirs();
    reloads_ = 0;
    ui_.shown.clear();
  }
  std::string FileText() const { return test::ReadFile(dir_.Path("dirs.cfg")); }

  test::TempDir dir_;
  test::FaultyFileSystem fs_{RealFileSystem()};
  WatchList list_;
  RecordingUi ui_;
  MemorySettingsStore settings_;
  WatchListEditor editor_{fs_, dir_.Path("dirs.cfg"), list_, ui_, settings_};
  int reloads_ = 0;
};

TEST_F(WatchListEditorTest, AddRefusesUnstorablePathsAndAppendsEvenTheSamePairTwice) {
  EXPECT_EQ(editor_.AddEntry("", "/dest"), EditResult::kUnchanged);
  EXPECT_EQ(editor_.AddEntry("/src", ""), EditResult::kUnchanged);
  EXPECT_EQ(editor_.AddEntry("/in\n1", "/dest"), EditResult::kRejected);  // would shift records
  EXPECT_EQ(editor_.AddEntry("/src", "/dest\r"), EditResult::kRejected);
  EXPECT_EQ(ui_.shown.size(), 2u);
  EXPECT_EQ(FileText(), kTwoEntries);
  EXPECT_EQ(editor_.AddEntry("/new", "/dest"), EditResult::kDone);
  EXPECT_EQ(editor_.AddEntry("/new", "/dest"), EditResult::kDone);
  EXPECT_EQ(FileText(), std::string(kTwoEntries) + "1\r\n/new\r\n/dest\r\n1\r\n/new\r\n/dest\r\n");
  EXPECT_EQ(reloads_, 2);
}

TEST_F(WatchListEditorTest, AddDirCommandNeedsASourceThenAsksForTheDestination) {
  EXPECT_EQ(editor_.AddDirectoryFromCommand("", ui_), EditResult::kRejected);
  EXPECT_EQ(editor_.AddDirectoryFromCommand("/src", ui_), EditResult::kUnchanged);  // cancelled
  ui_.destination = "/unpack";
  EXPECT_EQ(editor_.AddDirectoryFromCommand("/My Files", ui_), EditResult::kDone);
  const std::string ask = "ask:" + std::string(kDestinationPrompt);
  EXPECT_EQ(ui_.shown, (std::vector<std::string>{"You must have a source directory!|Mirrowen",
                                                 "front", ask, "front", ask}));
  EXPECT_EQ(FileText(), std::string(kTwoEntries) + "1\r\n/My Files\r\n/unpack\r\n");
}

// After a failed save the list is what the file holds: an add is lost, a removed row comes back,
// a tick stays (it is not reloaded). Every failed save shows the error once.
TEST_F(WatchListEditorTest, FailedSaveKeepsTheFileAndShowsTheErrorOncePerSave) {
  fs_.FailEveryCall(test::FsOperation::kWriteFileAtomically, kErrorDiskFull);
  EXPECT_EQ(editor_.AddEntry("/new", "/dest"), EditResult::kSaveFailed);
  EXPECT_EQ(editor_.RemoveRow(0), EditResult::kSaveFailed);
  EXPECT_EQ(ui_.shown, (std::vector<std::string>(3, std::string(kSaveError))));
  EXPECT_EQ(list_.Snapshot(), (std::vector<WatchEntry>{{"/in", "/out", 1}, {"/b", "/c", 0}}));
  EXPECT_EQ(editor_.SetInclude(0, 0), EditResult::kSaveFailed);
  EXPECT_EQ(ui_.shown.size(), 4u);
  EXPECT_EQ(list_.Snapshot()[0].include, 0);
  EXPECT_EQ(FileText(), kTwoEntries);
  EXPECT_EQ(reloads_, 2);
}

TEST_F(WatchListEditorTest, RemoveNeedsASelectionAndAsksOnlyAtLevelTwo) {
  EXPECT_EQ(editor_.RemoveRow(std::nullopt), EditResult::kRejected);
  EXPECT_EQ(editor_.RemoveRow(2), EditResult::kRejected);
  EXPECT_EQ(ui_.shown,
            std::vector<std::string>(2, "Select object in list before deletion|Mirrowen"));
  // level, answer, asks, removes
  const std::tuple<std::int32_t, bool, bool, bool> rows[] = {
      {1, false, false, true}, {2, false, true, false}, {2, true, true, true}};
  for (const auto& [level, answer, asks, removes] : rows) {
    SCOPED_TRACE(testing::Message() << "level " << level << " answer " << answer);
    Reset();
    ui_.answer = answer;
    WriteInt(settings_, Setting::ConfirmationLevel, level);
    EXPECT_EQ(editor_.RemoveRow(0), removes ? EditResult::kDone : EditResult::kUnchanged);
    EXPECT_EQ(ui_.shown.size(), asks ? 1u : 0u);
    EXPECT_EQ(FileText(), removes ? "0\r\n/b\r\n/c\r\n" : kTwoEntries);
    EXPECT_EQ(reloads_, removes ? 1 : 0);
  }
  EXPECT_EQ(ui_.shown[0],
            "?Do you want to delete selected directory from the watchlist?|Remove directory?");
}

TEST_F(WatchListEditorTest, IncludeToggleSavesWithoutReloading) {
  EXPECT_EQ(editor_.SetInclude(1, 1), EditResult::kDone);
  EXPECT_EQ(editor_.SetInclude(2, 1), EditResult::kUnchanged);
  EXPECT_EQ(FileText(), "1\r\n/in\r\n/out\r\n1\r\n/b\r\n/c\r\n");
  EXPECT_EQ(reloads_, 0);
}

// Records this program cannot have written (a NUL, a lone CR, a line past the longest path)
// would vanish with the next save: the load says so and keeps the file as it was beside it.
TEST_F(WatchListEditorTest, DamagedRecordsAreReportedAndTheFileKeptBeforeTheNextSave) {
  using namespace std::string_literals;
  const std::string damaged = std::string(kTwoEntries) + "1\r\n/a\0b\r\n/out\r\n"s +
                              "1\r\n/lone\rcr\r\n/out\r\n1\r\n" +
                              std::string(kMaxStoredPathLength + 1, 'x') + "\r\n/out\r\n";
  dir_.WriteFile("dirs.cfg", damaged);
  editor_.LoadDirs();
  EXPECT_EQ(list_.Count(), 2u);
  ASSERT_EQ(ui_.shown.size(), 1u);
  EXPECT_NE(ui_.shown[0].find("3 damaged records"), std::string::npos) << ui_.shown[0];
  EXPECT_TRUE(editor_.SaveDirs());
  EXPECT_EQ(test::ReadFile(dir_.Path("dirs.cfg.damaged")), damaged);
  editor_.LoadDirs();
  EXPECT_EQ(ui_.shown.size(), 1u);
}

}  // namespace
}  // namespace qs
