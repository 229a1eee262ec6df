// The watch list: the list the worker reads while the window changes it, the editor that keeps
// dirs.cfg its master copy, and the "/ADDDIR:" command that adds to it.
#include "config/watch_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
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
// toggles, every row copy is one whole entry, never a mix of two or a freed one. (CopyRow fails
// when the list shrank since the count.)
TEST(WatchList, WorkerCopiesWholeRowsWhileTheWindowChangesTheList) {
  WatchList list;
  std::atomic<bool> done{false};
  int bad = 0;  // written by the worker only, read after the join
  std::thread worker([&] {
    for (WatchEntry row; !done.load();) {
      for (std::size_t i = 0; i < list.Count(); ++i) {
        bad += list.CopyRow(i, row) && row != Entry(row.source[0], 1) &&
               row != Entry(row.source[0], 0);
      }
    }
  });
  for (int round = 0; round < 3000; ++round) {
    list.Replace({Entry(static_cast<char>('a' + round % 26), 1), Entry('z', 1)});
    list.Append(Entry('y', 1));
    list.SetInclude(0, 0);
    list.RemoveAt(1);
  }
  done = true;
  worker.join();
  EXPECT_EQ(bad, 0);
}

TEST(ParseAddDirCommand, TakesEverythingAfterTheFirstMarkerWithoutQuotes) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"/adddir:/x", std::nullopt},
      {"/ADDDIR", std::nullopt},
      {"/ADDDIR:", ""},
      {"/ADDDIR:\"D:\\My Files\"", "D:\\My Files"},
      {"--x /ADDDIR: /a b \t", " /a b \t"},
      {"/ADDDIR:/a /ADDDIR:/b", "/a /ADDDIR:/b"}};
  for (const auto& [text, path] : cases) {
    EXPECT_EQ(ParseAddDirCommand(text), path) << text;
  }
}

// Records every box as "text|caption" and a question as "?text|caption", answering `answer`.
class RecordingUi final : public UserMessages {
 public:
  void ShowMessage(std::string_view text, std::string_view caption, MessageIcon) override {
    shown.push_back(std::string(text) + "|" + std::string(caption));
  }
  bool AskYesNo(std::string_view text, std::string_view caption) override {
    shown.push_back("?" + std::string(text) + "|" + std::string(caption));
    return answer;
  }

  bool answer = false;
  std::vector<std::string> shown;
};

constexpr std::string_view kTwoEntries = "1\r\n/in\r\n/out\r\n0\r\n/b\r\n/c\r\n";

class WatchListEditorTest : public ::testing::Test {
 protected:
  WatchListEditorTest() {
    dir_.WriteFile("dirs.cfg", kTwoEntries);
    editor_.LoadDirs();
  }
  std::string FileText() const { return test::ReadFile(dir_.Path("dirs.cfg")); }

  test::TempDir dir_;
  test::FaultyFileSystem fs_{RealFileSystem()};
  WatchList list_;
  RecordingUi ui_;
  MemorySettingsStore settings_;
  WatchListEditor editor_{fs_, dir_.Path("dirs.cfg"), list_, ui_, settings_};
};

// An add appends even a pair already listed.
TEST_F(WatchListEditorTest, AddRefusesUnstorablePathsAndAppendsEvenTheSamePairTwice) {
  EXPECT_EQ(editor_.AddEntry("", "/dest"), EditResult::kUnchanged);
  EXPECT_EQ(editor_.AddEntry("/src", "/dest\r"), EditResult::kRejected);  // would shift records
  EXPECT_EQ(ui_.shown.size(), 1u);
  EXPECT_EQ(editor_.AddEntry("/new", "/dest"), EditResult::kDone);
  EXPECT_EQ(editor_.AddEntry("/new", "/dest"), EditResult::kDone);
  EXPECT_EQ(FileText(), std::string(kTwoEntries) + "1\r\n/new\r\n/dest\r\n1\r\n/new\r\n/dest\r\n");
}

// After a failed save the list is what the file holds: an add is lost, a removed row comes back,
// a tick stays (it is not reloaded). Every failed save shows the error once.
TEST_F(WatchListEditorTest, FailedSaveKeepsTheFileAndShowsTheErrorOncePerSave) {
  fs_.FailEveryCall(test::FsOperation::kWriteFileAtomically, kErrorDiskFull);
  EXPECT_EQ(editor_.AddEntry("/new", "/dest"), EditResult::kSaveFailed);
  EXPECT_EQ(editor_.RemoveRow(0), EditResult::kSaveFailed);
  EXPECT_EQ(list_.Snapshot(), (std::vector<WatchEntry>{{"/in", "/out", 1}, {"/b", "/c", 0}}));
  EXPECT_EQ(editor_.SetInclude(0, 0), EditResult::kSaveFailed);
  EXPECT_EQ(ui_.shown, (std::vector<std::string>(4, "Error saving dirs.cfg|Mirrowen")));
  EXPECT_EQ(list_.Snapshot()[0].include, 0);
  EXPECT_EQ(FileText(), kTwoEntries);
}

// Only ConfirmationLevel 2 asks before a row goes.
TEST_F(WatchListEditorTest, RemoveNeedsASelectionAndAsksOnlyAtLevelTwo) {
  EXPECT_EQ(editor_.RemoveRow(2), EditResult::kRejected);
  WriteInt(settings_, Setting::ConfirmationLevel, 2);
  EXPECT_EQ(editor_.RemoveRow(0), EditResult::kUnchanged);  // declined
  EXPECT_EQ(FileText(), kTwoEntries);
  ui_.answer = true;
  EXPECT_EQ(editor_.RemoveRow(0), EditResult::kDone);
  EXPECT_EQ(FileText(), "0\r\n/b\r\n/c\r\n");
  WriteInt(settings_, Setting::ConfirmationLevel, 1);
  EXPECT_EQ(editor_.RemoveRow(0), EditResult::kDone);  // unasked
  const std::string select = "Select object in list before deletion|Mirrowen";
  const std::string question =
      "?Do you want to delete selected directory from the watchlist?|Remove directory?";
  EXPECT_EQ(ui_.shown, (std::vector<std::string>{select, question, question}));
}

// A record this program cannot have written (here a NUL; the loading tests show the others)
// would vanish with the next save: the load says so and keeps the file as it was beside it.
TEST_F(WatchListEditorTest, DamagedRecordsAreReportedAndTheFileKeptBeforeTheNextSave) {
  using namespace std::string_literals;
  const std::string damaged = std::string(kTwoEntries) + "1\r\n/a\0b\r\n/out\r\n"s;
  dir_.WriteFile("dirs.cfg", damaged);
  editor_.LoadDirs();
  EXPECT_EQ(list_.Count(), 2u);
  ASSERT_EQ(ui_.shown.size(), 1u);
  EXPECT_NE(ui_.shown[0].find("1 damaged record "), std::string::npos) << ui_.shown[0];
  EXPECT_TRUE(editor_.SaveDirs());
  EXPECT_EQ(test::ReadFile(dir_.Path("dirs.cfg.damaged")), damaged);
  editor_.LoadDirs();
  EXPECT_EQ(ui_.shown.size(), 1u);
}

}  // namespace
}  // namespace qs
