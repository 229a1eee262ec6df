#include "config/watch_list_editor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "config/memory_settings_store.h"
#include "config/settings_keys.h"
#include "config/watch_list.h"
#include "tests/config/config_fakes.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

constexpr std::string_view kTwoEntries = "1\r\n/in\r\n/out\r\n0\r\n/b\r\n/c\r\n";

class RecordingFrontEnd final : public AddDirectoryFrontEnd {
 public:
  std::string destination;
  std::vector<std::string> calls;

  void BringToFront() override { calls.push_back("front"); }
  std::string AskDirectory(std::string_view prompt) override {
    calls.push_back("ask:" + std::string(prompt));
    return destination;
  }
};

class WatchListEditorTest : public ::testing::Test {
 protected:
  WatchListEditorTest() {
    editor_.SetReloadedCallback([this] { ++reloads_; });
  }

  void StartWith(std::string_view text) {
    dir_.WriteFile("dirs.cfg", text);
    editor_.LoadDirs();
    reloads_ = 0;
    fs_.write_attempts = 0;
  }
  std::string FileText() const { return test::ReadFile(path_); }
  int SaveErrorsShown() const {
    return static_cast<int>(std::count_if(
        messages_.shown.begin(), messages_.shown.end(), [](const test::ShownMessage& m) {
          return m.text == "Error saving dirs.cfg" && m.caption == kApplicationTitle;
        }));
  }

  test::TempDir dir_;
  std::string path_ = dir_.Path("dirs.cfg");
  test::FaultyFileSystem fs_;
  WatchList list_;
  test::RecordingMessages messages_;
  MemorySettingsStore settings_;
  WatchListEditor editor_{fs_, path_, list_, messages_, settings_};
  int reloads_ = 0;
};

TEST_F(WatchListEditorTest, LoadingAMissingFileGivesAnEmptyListSilently) {
  list_.Append({"/stale", "/stale", 1});
  editor_.LoadDirs();
  EXPECT_EQ(list_.Count(), 0u);
  EXPECT_EQ(reloads_, 1);
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(WatchListEditorTest, AddingTheSamePairTwiceGivesTwoRowsAndSixMoreLines) {
  StartWith(kTwoEntries);
  EXPECT_EQ(editor_.AddEntry("/new", "/dest"), EditResult::kDone);
  EXPECT_EQ(editor_.AddEntry("/new", "/dest"), EditResult::kDone);
  EXPECT_EQ(FileText(), std::string(kTwoEntries) + "1\r\n/new\r\n/dest\r\n1\r\n/new\r\n/dest\r\n");
  EXPECT_EQ(list_.Count(), 4u);
  EXPECT_EQ(fs_.write_attempts, 4);  // before and after each append
  EXPECT_EQ(reloads_, 2);
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(WatchListEditorTest, AddWithAnEmptyPathDoesNothing) {
  StartWith(kTwoEntries);
  EXPECT_EQ(editor_.AddEntry("", "/dest"), EditResult::kUnchanged);
  EXPECT_EQ(editor_.AddEntry("/src", ""), EditResult::kUnchanged);
  EXPECT_EQ(fs_.write_attempts, 0);
  EXPECT_EQ(reloads_, 0);
}

TEST_F(WatchListEditorTest, FailedSavesDuringAnAddLoseTheChangeAndKeepTheFile) {
  StartWith(kTwoEntries);
  fs_.fail_writes = true;
  EXPECT_EQ(editor_.AddEntry("/new", "/dest"), EditResult::kSaveFailed);
  EXPECT_EQ(SaveErrorsShown(), 2);
  EXPECT_EQ(FileText(), kTwoEntries);
  EXPECT_EQ(list_.Snapshot(), (std::vector<WatchEntry>{{"/in", "/out", 1}, {"/b", "/c", 0}}));
  EXPECT_EQ(reloads_, 1);
}

TEST_F(WatchListEditorTest, PathWithALineBreakIsRefusedBeforeAnythingIsWritten) {
  StartWith(kTwoEntries);
  EXPECT_EQ(editor_.AddEntry("/in\n1", "/dest"), EditResult::kRejected);
  EXPECT_EQ(editor_.AddEntry("/src", "/dest\r"), EditResult::kRejected);
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(fs_.write_attempts, 0);
  EXPECT_EQ(list_.Count(), 2u);
}

TEST_F(WatchListEditorTest, CommandWithoutSourceComplainsAndAsksNothing) {
  StartWith(kTwoEntries);
  RecordingFrontEnd front;
  EXPECT_EQ(editor_.AddDirectoryFromCommand("", front), EditResult::kRejected);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, "You must have a source directory!");
  EXPECT_EQ(messages_.shown[0].caption, kApplicationTitle);
  EXPECT_TRUE(front.calls.empty());
  EXPECT_EQ(fs_.write_attempts, 0);
}

TEST_F(WatchListEditorTest, CommandBringsTheWindowForwardThenAsksForTheDestination) {
  StartWith(kTwoEntries);
  RecordingFrontEnd front;
  front.destination = "/unpack";
  EXPECT_EQ(editor_.AddDirectoryFromCommand("/My Files", front), EditResult::kDone);
  EXPECT_EQ(front.calls,
            (std::vector<std::string>{"front", "ask:" + std::string(kDestinationPrompt)}));
  EXPECT_EQ(FileText(), std::string(kTwoEntries) + "1\r\n/My Files\r\n/unpack\r\n");
  EXPECT_EQ(reloads_, 1);
}

TEST_F(WatchListEditorTest, CommandCancelledAtTheDestinationLeavesTheFileAlone) {
  StartWith(kTwoEntries);
  RecordingFrontEnd front;
  EXPECT_EQ(editor_.AddDirectoryFromCommand("/src", front), EditResult::kUnchanged);
  EXPECT_EQ(fs_.write_attempts, 0);
  EXPECT_EQ(reloads_, 0);
}

TEST_F(WatchListEditorTest, RemoveWithoutSelectionAsksToSelect) {
  StartWith(kTwoEntries);
  EXPECT_EQ(editor_.RemoveRow(std::nullopt), EditResult::kRejected);
  EXPECT_EQ(editor_.RemoveRow(2), EditResult::kRejected);
  ASSERT_EQ(messages_.shown.size(), 2u);
  for (const auto& shown : messages_.shown) {
    EXPECT_EQ(shown.text, "Select object in list before deletion");
    EXPECT_EQ(shown.icon, MessageIcon::kInformation);
    EXPECT_FALSE(shown.question);
  }
  EXPECT_EQ(fs_.write_attempts, 0);
}

struct RemoveCase {
  std::int32_t confirmation_level;
  bool asks;
};

class RemoveConfirmationTest : public WatchListEditorTest,
                               public ::testing::WithParamInterface<RemoveCase> {};

TEST_P(RemoveConfirmationTest, AsksOnlyAtLevelTwoAndNoKeepsEverything) {
  StartWith(kTwoEntries);
  WriteInt(settings_, Setting::ConfirmationLevel, GetParam().confirmation_level);
  messages_.answer = false;
  const EditResult result = editor_.RemoveRow(0);
  if (GetParam().asks) {
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_TRUE(messages_.shown[0].question);
    EXPECT_EQ(messages_.shown[0].text,
              "Do you want to delete selected directory from the watchlist?");
    EXPECT_EQ(messages_.shown[0].caption, "Remove directory?");
    EXPECT_EQ(result, EditResult::kUnchanged);
    EXPECT_EQ(list_.Count(), 2u);
    EXPECT_EQ(FileText(), kTwoEntries);
    EXPECT_EQ(fs_.write_attempts, 0);
    EXPECT_EQ(reloads_, 0);
  } else {
    EXPECT_TRUE(messages_.shown.empty());
    EXPECT_EQ(result, EditResult::kDone);
    EXPECT_EQ(FileText(), "0\r\n/b\r\n/c\r\n");
    EXPECT_EQ(list_.Snapshot(), (std::vector<WatchEntry>{{"/b", "/c", 0}}));
    EXPECT_EQ(reloads_, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, RemoveConfirmationTest,
                         ::testing::Values(RemoveCase{0, false}, RemoveCase{1, false},
                                           RemoveCase{2, true}, RemoveCase{3, false},
                                           RemoveCase{-1, false}));

TEST_F(WatchListEditorTest, YesAtLevelTwoRemovesTheRowAndClosesTheGap) {
  StartWith("1\r\n/a\r\n/a\r\n1\r\n/b\r\n/b\r\n1\r\n/c\r\n/c\r\n");
  WriteInt(settings_, Setting::ConfirmationLevel, 2);
  EXPECT_EQ(editor_.RemoveRow(1), EditResult::kDone);
  EXPECT_EQ(FileText(), "1\r\n/a\r\n/a\r\n1\r\n/c\r\n/c\r\n");
}

TEST_F(WatchListEditorTest, FailedSaveDuringRemoveBringsTheRowBack) {
  StartWith(kTwoEntries);
  fs_.fail_writes = true;
  EXPECT_EQ(editor_.RemoveRow(0), EditResult::kSaveFailed);
  EXPECT_EQ(SaveErrorsShown(), 1);
  EXPECT_EQ(FileText(), kTwoEntries);
  EXPECT_EQ(list_.Count(), 2u);
}

TEST_F(WatchListEditorTest, IncludeToggleSavesWithoutReloading) {
  StartWith(kTwoEntries);
  EXPECT_EQ(editor_.SetInclude(1, 1), EditResult::kDone);
  EXPECT_EQ(FileText(), "1\r\n/in\r\n/out\r\n1\r\n/b\r\n/c\r\n");
  EXPECT_EQ(reloads_, 0);
  EXPECT_EQ(editor_.SetInclude(2, 1), EditResult::kUnchanged);
  EXPECT_EQ(fs_.write_attempts, 1);
}

TEST_F(WatchListEditorTest, FailedIncludeSaveKeepsTheTickInMemory) {
  StartWith(kTwoEntries);
  fs_.fail_writes = true;
  EXPECT_EQ(editor_.SetInclude(0, 0), EditResult::kSaveFailed);
  EXPECT_EQ(SaveErrorsShown(), 1);
  EXPECT_EQ(FileText(), kTwoEntries);
  WatchEntry row;
  ASSERT_TRUE(list_.CopyRow(0, row));
  EXPECT_EQ(row.include, 0);
  EXPECT_EQ(reloads_, 0);
}

TEST_F(WatchListEditorTest, SaveIntoAMissingFolderShowsTheErrorOncePerSave) {
  WatchListEditor editor(fs_, dir_.Path("missing/dirs.cfg"), list_, messages_, settings_);
  EXPECT_EQ(editor.AddEntry("/src", "/dest"), EditResult::kSaveFailed);
  EXPECT_EQ(SaveErrorsShown(), 2);
  EXPECT_EQ(list_.Count(), 0u);
  EXPECT_FALSE(test::Exists(dir_.Path("missing")));
}

}  // namespace
}  // namespace qs
