// The main window on the offscreen platform: its rows, the watch-list commands as the window
// drives them (the editor's own rules are tested with the editor), the worker's messages, and
// the exit with dirs.cfg kept whole on every path.
#include "app/main_window.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/command_ids.h"
#include "app/dialog_units.h"
#include "tests/app/desktop_test_support.h"
#include "widgets/cell_list_ctrl.h"

namespace qs::test {
namespace {

class MainWindowTest : public DesktopTest {};

TEST(DialogUnitsTest, ConvertsAsTheDialogManagerDoes) {
  // a * b / c, rounded half away from zero; -1 for a zero divisor.
  const int cases[][4] = {{7, 6, 4, 11}, {-1, 13, 8, -2}, {110, 13, 8, 179}, {3, 13, 8, 5},
                          {1, 1, 2, 1},  {-1, 1, 2, -1},  {5, 5, 0, -1}};
  for (const auto& [a, b, c, result] : cases) {
    EXPECT_EQ(MulDiv(a, b, c), result) << a << "*" << b << "/" << c;
  }
}

// A stored 2 is not scanned, so not ticked. Remove takes the selected row, or none; the rows are
// rebuilt from the file after it. A click in the "Include" cell toggles the entry and saves
// dirs.cfg at once, with no reload: the progress shown stays. The program chosen for the
// post-execution field goes in quotes; a cancel keeps the field.
TEST_F(MainWindowTest, RowsRemoveIncludeClicksAndTheProgramChooser) {
  WriteDirs("1\r\n/in/a\r\n/out/a\r\n0\r\n/in/b\r\n/out/b\r\n2\r\n/in/c\r\n/out/c\r\n");
  settings_.WriteInt("ConfirmationLevel", 0);
  auto window = MakeWindow();
  window->Initialise();
  window->show();
  CCellListCtrl* list = window->Controls().list;
  ASSERT_EQ(list->GetItemCount(), 3);
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(list->GetCheckState(row, 0), row == 0 ? 1 : 0) << row;
  }
  window->OnCommand(kIdRemove);
  EXPECT_EQ(dialogs_.shown, std::vector<std::string>{"Select object in list before deletion"});
  list->SetProgressPercent(0, 3, 70);
  list->SelectRow(1);
  window->OnCommand(kIdRemove);
  EXPECT_EQ(ReadDirs(), "1\r\n/in/a\r\n/out/a\r\n2\r\n/in/c\r\n/out/c\r\n");
  ASSERT_EQ(list->GetItemCount(), 2);
  EXPECT_EQ(list->GetProgressPercent(0, 3), 0);

  list->SetProgressPercent(1, 3, 40);
  for (int row : {0, 1}) {
    QRect cell;
    ASSERT_TRUE(list->GetCellRect(row, 0, &cell));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
  }
  EXPECT_EQ(ReadDirs(), "0\r\n/in/a\r\n/out/a\r\n1\r\n/in/c\r\n/out/c\r\n");
  EXPECT_EQ(list->GetProgressPercent(1, 3), 40);

  QLineEdit* field = window->Controls().post_execution;
  field->setText(QStringLiteral("kept"));
  window->OnCommand(kIdBrowseProgram);
  EXPECT_EQ(field->text(), QStringLiteral("kept"));
  dialogs_.program = "/opt/tools/run prog";
  window->OnCommand(kIdBrowseProgram);
  EXPECT_EQ(field->text(), QStringLiteral("\"/opt/tools/run prog\""));
  EXPECT_EQ(dialogs_.shown.size(), 1u);
}

// An empty list never replaces the entries of the file, here written by another program.
TEST_F(MainWindowTest, ExitKeepsEntriesTheListDoesNotHold) {
  settings_.WriteInt("ConfirmationLevel", 0);
  auto window = MakeWindow();
  window->Initialise();
  WriteDirs("1\r\n/in/a\r\n/out/a\r\n");
  window->close();
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(ReadDirs(), "1\r\n/in/a\r\n/out/a\r\n");
}

// What asks for the exit, or happens while a dialog is open.
enum class Act { kNone, kQuit, kTerm, kAddDir, kAdd, kRemove };

void Perform(MainWindow& window, Act act) {
  switch (act) {
    case Act::kNone:
      return;
    case Act::kQuit:
      return QTest::mouseClick(window.Controls().quit, Qt::LeftButton);
    case Act::kTerm:
      return window.OnTerminateRequest();
    case Act::kAddDir:
      return window.HandleCommandLine("/ADDDIR:/in/new");
    case Act::kAdd:
      return QTest::mouseClick(window.Controls().add, Qt::LeftButton);
    case Act::kRemove:
      window.Controls().list->SelectRow(0);
      return window.OnCommand(kIdRemove);
  }
}

struct ExitCase {
  const char* name;
  int confirmation_level;
  Act first;
  Act meanwhile;  // while the first dialog is open
  std::deque<bool> answers;
  std::deque<std::string> directories;
  bool exits;
  int dialogs;  // opened in all
};

const ExitCase kExitCases[] = {
    {"QuitButton", 1, Act::kQuit, Act::kNone, {true}, {}, true, 1},
    {"QuitDeclined", 1, Act::kQuit, Act::kNone, {false}, {}, false, 1},
    {"Sigterm", 1, Act::kTerm, Act::kNone, {}, {}, true, 0},
    // The two orders that used to empty dirs.cfg or leave only the new entry in it.
    {"SigtermInQuitQuestionThenYes", 1, Act::kQuit, Act::kTerm, {true}, {}, true, 1},
    {"SigtermInAddDirChooserThenPick", 1, Act::kAddDir, Act::kTerm, {}, {"/o"}, true, 1},
    {"QuitInAddDirChooserThenPick", 1, Act::kAddDir, Act::kQuit, {true}, {"/o"}, true, 2},
    {"SigtermInSourceChooserThenPick", 1, Act::kAdd, Act::kTerm, {}, {"/i"}, true, 1},
    {"SigtermInRemoveQuestionThenYes", 2, Act::kRemove, Act::kTerm, {true}, {}, true, 1},
};

class ExitTest : public DesktopTest, public ::testing::WithParamInterface<ExitCase> {};

// Whatever asks, the exit runs once, closes the dialogs still open first, and nothing answered in
// them afterwards changes the list: dirs.cfg stays whole on every path. It is saved after the
// lock is released and the worker has stopped, but before the list is freed; the field goes to
// PostExecution after it.
TEST_P(ExitTest, RunsOnceAndKeepsDirsCfgWhole) {
  const ExitCase& test = GetParam();
  const std::string dirs = "1\r\n/in/a\r\n/out/a\r\n0\r\n/in/b\r\n/out/b\r\n";
  WriteDirs(dirs);
  settings_.WriteInt("ConfirmationLevel", test.confirmation_level);
  auto window = MakeWindow();
  window->Initialise();
  window->show();
  ASSERT_TRUE(lock_.IsHeld());
  int opened = 0;
  dialogs_.on_open = [&] { Perform(*window, opened++ == 0 ? test.meanwhile : Act::kNone); };
  dialogs_.answers = test.answers;
  dialogs_.directories = test.directories;
  window->Controls().post_execution->setText(QStringLiteral("edited by hand %3"));
  int saves = 0;
  int closed_before_save = 0;
  before_save = [&](const std::string& path) {
    ++saves;
    closed_before_save = dialogs_.close_alls;
    EXPECT_EQ(path, DirsPath());
    EXPECT_TRUE(InstanceLock(LockPath()).TryAcquire()) << "the lock is released first";
    EXPECT_FALSE(window->Controller().HasWorker()) << "the worker has stopped";
    EXPECT_EQ(window->List().Count(), 2u) << "the list is saved before it is freed";
  };
  Perform(*window, test.first);

  EXPECT_EQ(opened, test.dialogs);
  EXPECT_EQ(ReadDirs(), dirs);
  EXPECT_EQ(saves, test.exits ? 1 : 0);
  EXPECT_EQ(closed_before_save, test.exits ? 1 : 0);
  EXPECT_EQ(window->isVisible(), !test.exits);
  EXPECT_EQ(window->Controller().HasWorker(), !test.exits);
  EXPECT_EQ(settings_.ReadText("PostExecution", ""), test.exits ? "edited by hand %3" : "");
}

INSTANTIATE_TEST_SUITE_P(Paths, ExitTest, ::testing::ValuesIn(kExitCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The own "/ADDDIR:" is asked before the first pass starts.
TEST_F(MainWindowTest, OwnCommandLineIsHandledBeforeTheFirstPass) {
  auto window = MakeWindow("/ADDDIR:\"/in/My Files\"");
  bool worker_at_prompt = true;
  dialogs_.on_open = [&] { worker_at_prompt = window->Controller().HasWorker(); };
  dialogs_.directories = {"/out/mine"};
  window->Initialise();
  EXPECT_FALSE(worker_at_prompt);
  EXPECT_EQ(dialogs_.prompts, std::vector<std::string>{std::string(kDestinationPrompt)});
  EXPECT_EQ(ReadDirs(), "1\r\n/in/My Files\r\n/out/mine\r\n");
  EXPECT_TRUE(window->Controller().HasWorker());
}

}  // namespace
}  // namespace qs::test
