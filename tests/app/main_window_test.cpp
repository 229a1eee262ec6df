// The main window on the offscreen platform: its menus and rows, the watch-list commands as the
// window drives them (the editor's own rules are tested with the editor), the worker's messages,
// and the quit with its exit sequence in order.
#include "app/main_window.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <deque>

#include "app/command_ids.h"
#include "app/dialog_units.h"
#include "scan/scan_controller.h"
#include "scan/scan_worker.h"
#include "scan/set_report.h"
#include "tests/app/desktop_test_support.h"
#include "widgets/cell_list_ctrl.h"
#include "widgets/cell_list_model.h"
#include "widgets/tray_icon.h"

namespace qs::test {
namespace {

class MainWindowTest : public DesktopTest {};

TEST_F(MainWindowTest, MenusColumnsAndTheFirstPass) {
  settings_.store.WriteText("PostExecution", "notify %1");
  auto window = MakeWindow();
  window->Initialise();
  const MainWindowControls& c = window->Controls();
  // The first pass starts at once; the countdown stays empty until its first tick.
  EXPECT_EQ(c.status->text(), QStringLiteral("Running"));
  EXPECT_TRUE(c.countdown->text().isEmpty());
  EXPECT_EQ(c.post_execution->text(), QStringLiteral("notify %1"));

  const QList<QAction*> menus = window->MenuBar()->actions();
  ASSERT_EQ(menus.size(), 2);
  EXPECT_EQ(MenuItems(menus[0]->menu()),
            "Add directory=1002|-|Force start scan=32773|Force stop scan=32774|-|Settings=32771|-|"
            "Quit=2");
  EXPECT_EQ(MenuItems(menus[1]->menu()), "About Quarrystream=57664");

  CCellListCtrl* list = c.list;
  ASSERT_EQ(list->GetColumnCount(), 4);
  const int client_width = list->width() - 2 * list->frameWidth();
  const int widths[] = {30, (client_width - 120) / 2, (client_width - 120) / 2, 90};
  for (int column = 0; column < 4; ++column) {
    EXPECT_EQ(list->columnWidth(column), widths[column]) << column;
  }
  EXPECT_EQ(list->GetHeaderCheck(0), 1);
}

TEST(DialogUnitsTest, ConvertsAsTheDialogManagerDoes) {
  // a * b / c, rounded half away from zero; -1 for a zero divisor.
  const int cases[][4] = {{7, 6, 4, 11}, {-1, 13, 8, -2}, {110, 13, 8, 179}, {3, 13, 8, 5},
                          {1, 1, 2, 1},  {-1, 1, 2, -1},  {5, 5, 0, -1}};
  for (const auto& [a, b, c, result] : cases) {
    EXPECT_EQ(MulDiv(a, b, c), result) << a << "*" << b << "/" << c;
  }
  const DialogUnits units(DialogFont());
  EXPECT_EQ(units.BaseY(), QFontMetrics(DialogFont()).height());
  EXPECT_EQ(units.Rect(4, 8, 4, 8),
            QRect(units.BaseX(), units.BaseY(), units.BaseX(), units.BaseY()));
}

// A stored 2 is not scanned, so not ticked. A click in the "Include" cell toggles the entry and
// saves dirs.cfg at once, with no reload: the progress shown stays.
TEST_F(MainWindowTest, RowsShowTheWatchListAndIncludeClicksSaveIt) {
  WriteDirs("1\r\n/in/a\r\n/out/a\r\n0\r\n/in/b\r\n/out/b\r\n2\r\n/in/c\r\n/out/c\r\n");
  auto window = MakeWindow();
  window->Initialise();
  window->show();
  CCellListCtrl* list = window->Controls().list;
  ASSERT_EQ(list->GetItemCount(), 3);
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(list->GetCheckState(row, 0), row == 0 ? 1 : 0) << row;
  }
  EXPECT_EQ(list->GetItemText(1, 1), QStringLiteral("/in/b"));
  EXPECT_EQ(list->GetItemText(1, 2), QStringLiteral("/out/b"));

  list->SetProgressPercent(2, 3, 40);
  for (int row : {0, 2}) {
    QRect cell;
    ASSERT_TRUE(list->GetCellRect(row, 0, &cell));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
  }
  EXPECT_EQ(ReadDirs(), "0\r\n/in/a\r\n/out/a\r\n0\r\n/in/b\r\n/out/b\r\n1\r\n/in/c\r\n/out/c\r\n");
  EXPECT_EQ(list->GetProgressPercent(2, 3), 40);
  EXPECT_TRUE(dialogs_.shown.empty());
}

// Add asks for the source, then the destination; a cancel in either leaves everything as it was.
TEST_F(MainWindowTest, AddAsksSourceThenDestination) {
  WriteDirs("1\r\n/in/a\r\n/out/a\r\n");
  auto window = MakeWindow();
  window->Initialise();
  for (const auto& answers : {std::deque<std::string>{""}, std::deque<std::string>{"/in/b", ""}}) {
    dialogs_.directories = answers;
    window->OnCommand(kIdAddDirectory);
    EXPECT_TRUE(dialogs_.directories.empty());
  }
  EXPECT_EQ(ReadDirs(), "1\r\n/in/a\r\n/out/a\r\n");
  dialogs_.prompts.clear();
  dialogs_.directories = {"/in/new dir", "/out/new"};
  window->OnCommand(kIdAddDirectory);
  EXPECT_EQ(dialogs_.prompts, (std::vector<std::string>{std::string(kSourcePrompt),
                                                        std::string(kDestinationPrompt)}));
  EXPECT_EQ(ReadDirs(), "1\r\n/in/a\r\n/out/a\r\n1\r\n/in/new dir\r\n/out/new\r\n");
  EXPECT_EQ(window->Controls().list->GetItemCount(), 2);
  EXPECT_EQ(window->Controls().list->GetCheckState(1, 0), 1);
}

// Remove takes the selected row, or none; the rows are rebuilt from the file after it.
TEST_F(MainWindowTest, RemoveTakesTheSelectedRow) {
  WriteDirs("1\r\n/in/a\r\n/out/a\r\n0\r\n/in/b\r\n/out/b\r\n");
  settings_.store.WriteInt("ConfirmationLevel", 0);
  auto window = MakeWindow();
  window->Initialise();
  CCellListCtrl* list = window->Controls().list;
  window->OnCommand(kIdRemove);
  ASSERT_EQ(dialogs_.shown.size(), 1u);
  EXPECT_EQ(dialogs_.shown[0].text, "Select object in list before deletion");
  list->SetProgressPercent(0, 3, 70);
  list->SelectRow(1);
  window->OnCommand(kIdRemove);
  EXPECT_EQ(ReadDirs(), "1\r\n/in/a\r\n/out/a\r\n");
  ASSERT_EQ(list->GetItemCount(), 1);
  EXPECT_EQ(list->GetProgressPercent(0, 3), 0);
}

// The "P" button looks pressed exactly while the pass or the countdown is paused.
TEST_F(MainWindowTest, CommandsReachTheirDialogsAndTheController) {
  auto window = MakeWindow();
  window->Initialise();
  window->show();
  const MainWindowControls& c = window->Controls();
  window->OnCommand(kIdSettings);
  window->OnCommand(kIdAbout);
  window->OnCommand(kIdSystemAbout);
  EXPECT_EQ(dialogs_.settings_runs, 1);
  EXPECT_EQ(dialogs_.about_runs, 2);
  // The program chosen for the field goes in quotes; a cancel keeps the field.
  c.post_execution->setText(QStringLiteral("kept"));
  window->OnCommand(kIdBrowseProgram);
  EXPECT_EQ(c.post_execution->text(), QStringLiteral("kept"));
  dialogs_.program = "/opt/tools/run prog";
  window->OnCommand(kIdBrowseProgram);
  EXPECT_EQ(c.post_execution->text(), QStringLiteral("\"/opt/tools/run prog\""));

  QTest::mouseClick(c.pause, Qt::LeftButton);
  EXPECT_EQ(c.status->text(), QStringLiteral("Paused"));
  EXPECT_TRUE(c.pause->isChecked());
  QTest::mouseClick(c.pause, Qt::LeftButton);
  EXPECT_EQ(c.status->text(), QStringLiteral("Running"));
  EXPECT_FALSE(c.pause->isChecked());
  QTest::mouseClick(c.pause, Qt::LeftButton);
  window->OnCommand(kIdForceStopScan);  // a paused pass stops: counting down
  FinishPass(*window);
  EXPECT_FALSE(window->Controller().HasWorker());
  EXPECT_EQ(c.status->text(), QStringLiteral("Idle"));
  EXPECT_FALSE(c.pause->isChecked());
  window->OnCommand(kIdPause);
  EXPECT_TRUE(c.pause->isChecked());
  EXPECT_EQ(c.countdown->text(), QStringLiteral("300 s [paused]"));
  window->OnCommand(kIdForceStartScan);
  EXPECT_FALSE(c.pause->isChecked());
  EXPECT_TRUE(window->Controller().HasWorker());
  EXPECT_EQ(c.countdown->text(), QStringLiteral("0 s"));
}

// Enter presses nothing; Escape asks the quit question.
TEST_F(MainWindowTest, EnterNeverClosesAndEscapeAsksTheQuitQuestion) {
  auto window = MakeWindow();
  window->Initialise();
  window->show();
  const MainWindowControls& c = window->Controls();
  for (QWidget* focus : std::initializer_list<QWidget*>{c.post_execution, c.quit, c.list}) {
    focus->setFocus();
    QTest::keyClick(focus, Qt::Key_Return);
    QTest::keyClick(focus, Qt::Key_Enter);
  }
  EXPECT_TRUE(dialogs_.shown.empty());
  EXPECT_TRUE(window->isVisible());

  dialogs_.answers = {false};
  QTest::keyClick(c.post_execution, Qt::Key_Escape);
  ASSERT_EQ(dialogs_.shown.size(), 1u);
  EXPECT_EQ(dialogs_.shown[0].text,
            "Do you want to exit Quarrystream, the directories will no longer be watched!");
  EXPECT_EQ(dialogs_.shown[0].caption, "Quit Quarrystream");
}

// The exit sequence in its order: the lock, the worker, dirs.cfg, the list, PostExecution.
TEST_F(MainWindowTest, QuitRunsTheExitSequenceInOrder) {
  WriteDirs("1\r\n/in/a\r\n/out/a\r\n");
  auto window = MakeWindow();
  window->Initialise();
  window->show();
  window->Controls().post_execution->setText(QStringLiteral("edited by hand %3"));
  ASSERT_TRUE(lock_.IsHeld());

  std::vector<std::string> steps;
  fs_.before_write = [&](const std::string& path) {
    InstanceLock other(LockPath());
    EXPECT_TRUE(other.TryAcquire()) << "the lock is released first";
    EXPECT_FALSE(window->Controller().HasWorker()) << "the worker has stopped";
    EXPECT_EQ(window->List().Count(), 1u) << "the list is saved before it is freed";
    steps.push_back(path == DirsPath() ? "dirs.cfg" : path);
  };
  settings_.before_write = [&](std::string_view key) {
    EXPECT_EQ(window->List().Count(), 0u) << "the list is freed before the field is written";
    steps.emplace_back(key);
  };
  dialogs_.answers = {true};
  window->OnCommand(kIdCancel);

  EXPECT_EQ(steps, (std::vector<std::string>{"dirs.cfg", "PostExecution"}));
  EXPECT_EQ(settings_.store.ReadText("PostExecution", ""), "edited by hand %3");
  EXPECT_EQ(ReadDirs(), "1\r\n/in/a\r\n/out/a\r\n");
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(window->result(), kIdCancel);
}

// An empty list never replaces the entries of the file, here written by another program.
TEST_F(MainWindowTest, ExitKeepsEntriesTheListDoesNotHold) {
  settings_.store.WriteInt("ConfirmationLevel", 0);
  auto window = MakeWindow();
  window->Initialise();
  WriteDirs("1\r\n/in/a\r\n/out/a\r\n");
  window->close();
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(ReadDirs(), "1\r\n/in/a\r\n/out/a\r\n");
}

// What asks for the exit, or happens while a dialog is open.
enum class Act { kNone, kQuit, kEscape, kClose, kMenu, kTray, kTerm, kAddDir, kAdd, kRemove };

void Perform(MainWindow& window, Act act) {
  const MainWindowControls& c = window.Controls();
  switch (act) {
    case Act::kNone:
      return;
    case Act::kQuit:
      return QTest::mouseClick(c.quit, Qt::LeftButton);
    case Act::kEscape:
      return QTest::keyClick(c.post_execution, Qt::Key_Escape);
    case Act::kClose:
      window.close();
      return;
    case Act::kMenu:  // File, Quit
      return window.MenuBar()->actions().constFirst()->menu()->actions().constLast()->trigger();
    case Act::kTray:  // the tray menu's Quit
      return window.Tray().TrayCommand(kIdCancel);
    case Act::kTerm:
      return window.OnTerminateRequest();
    case Act::kAddDir:
      return window.HandleCommandLine("/ADDDIR:/in/new");
    case Act::kAdd:
      return QTest::mouseClick(c.add, Qt::LeftButton);
    case Act::kRemove:
      c.list->SelectRow(0);
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
    {"Escape", 1, Act::kEscape, Act::kNone, {true}, {}, true, 1},
    {"CloseBox", 1, Act::kClose, Act::kNone, {true}, {}, true, 1},
    {"FileMenu", 1, Act::kMenu, Act::kNone, {true}, {}, true, 1},
    {"TrayMenu", 1, Act::kTray, Act::kNone, {true}, {}, true, 1},
    {"CloseBoxUnasked", 0, Act::kClose, Act::kNone, {}, {}, true, 0},
    {"QuitDeclined", 1, Act::kQuit, Act::kNone, {false}, {}, false, 1},
    {"Sigterm", 1, Act::kTerm, Act::kNone, {}, {}, true, 0},
    // The two orders that used to empty dirs.cfg or leave only the new entry in it.
    {"SigtermInQuitQuestionThenYes", 1, Act::kQuit, Act::kTerm, {true}, {}, true, 1},
    {"SigtermInAddDirChooserThenPick", 1, Act::kAddDir, Act::kTerm, {}, {"/o"}, true, 1},
    {"TrayQuitInQuitQuestion", 1, Act::kQuit, Act::kTray, {true}, {}, true, 1},
    {"CloseBoxInQuitQuestionThenNo", 1, Act::kQuit, Act::kClose, {false}, {}, false, 1},
    {"QuitInAddDirChooserThenPick", 1, Act::kAddDir, Act::kEscape, {true}, {"/o"}, true, 2},
    {"SigtermInSourceChooserThenPick", 1, Act::kAdd, Act::kTerm, {}, {"/i"}, true, 1},
    {"SigtermInRemoveQuestionThenYes", 2, Act::kRemove, Act::kTerm, {true}, {}, true, 1},
};

class ExitTest : public DesktopTest, public ::testing::WithParamInterface<ExitCase> {};

// Whatever asks, the exit runs once, closes the dialogs still open first, and nothing answered in
// them afterwards changes the list: dirs.cfg stays whole on every path.
TEST_P(ExitTest, RunsOnceAndKeepsDirsCfgWhole) {
  const ExitCase& test = GetParam();
  const std::string dirs = "1\r\n/in/a\r\n/out/a\r\n0\r\n/in/b\r\n/out/b\r\n";
  WriteDirs(dirs);
  settings_.store.WriteInt("ConfirmationLevel", test.confirmation_level);
  auto window = MakeWindow();
  window->Initialise();
  window->show();
  int opened = 0;
  dialogs_.on_open = [&] { Perform(*window, opened++ == 0 ? test.meanwhile : Act::kNone); };
  dialogs_.answers = test.answers;
  dialogs_.directories = test.directories;
  int saves = 0;
  int closed_before_save = 0;
  fs_.before_write = [&](const std::string&) {
    ++saves;
    closed_before_save = dialogs_.close_alls;
  };
  Perform(*window, test.first);

  EXPECT_EQ(opened, test.dialogs);
  EXPECT_EQ(ReadDirs(), dirs);
  EXPECT_EQ(saves, test.exits ? 1 : 0);
  EXPECT_EQ(closed_before_save, test.exits ? 1 : 0);
  EXPECT_EQ(window->isVisible(), !test.exits);
  EXPECT_EQ(window->Controller().HasWorker(), !test.exits);
}

INSTANTIATE_TEST_SUITE_P(Paths, ExitTest, ::testing::ValuesIn(kExitCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A row's tooltip, on every cell, is its last report, then the failures reported since the
// report before it, each once; a failure also pops a tray message while the window is hidden.
TEST_F(MainWindowTest, RowTooltipsAndTrayMessagesShowWhatThePassFound) {
  WriteDirs("1\r\n/in/a\r\n/out/a\r\n1\r\n/in/b\r\n/out/b\r\n");
  auto log = std::make_shared<RecordingTrayShell::Log>();
  auto window = MakeWindow({}, std::make_unique<RecordingTrayShell>(log));
  window->Initialise();
  RowReport report;
  report.sets.push_back({"/in/b/x.sfv", SetReport::State::kFailed, 1, 2, {"x.r01"}});
  const std::string summary = FormatRowReport(report);
  const auto tip = [&](int column) {
    const CellListModel* model = window->Controls().list->Model();
    return model->data(model->index(1, column), Qt::ToolTipRole).toString().toStdString();
  };

  window->ReportFailure(1, "cannot start a");
  window->SetRowReport(1, report);
  for (int column = 0; column < 4; ++column) {
    EXPECT_EQ(tip(column), summary + "\ncannot start a") << column;
  }
  window->OnCommand(kIdHide);
  window->ReportFailure(1, "bad CRC b");
  window->ReportFailure(1, "cannot start a");  // in the tooltip already: no second message
  EXPECT_EQ(tip(2), summary + "\ncannot start a\nbad CRC b");
  EXPECT_EQ(log->balloons, QStringList{QStringLiteral("Quarrystream: bad CRC b")});
  window->SetRowReport(1, report);
  window->ReportFailure(1, "bad CRC b");  // the same volume fails at the next pass
  EXPECT_EQ(log->balloons.size(), 1);
  window->SetRowReport(1, report);
  window->SetRowReport(1, report);  // a pass with no new failure: the old ones go
  EXPECT_EQ(tip(3), summary);
}

// The own "/ADDDIR:" is asked before the first pass starts; texts without the marker are no
// command.
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
  window->HandleCommandLine("");
  window->HandleCommandLine("--something /in");
  EXPECT_TRUE(dialogs_.shown.empty());
  EXPECT_EQ(dialogs_.prompts.size(), 1u);
}

// The worker's messages arrive through the queue on the GUI thread: a complete set runs the
// post-execution command from the field as it stands, and the finished pass starts the countdown.
TEST_F(MainWindowTest, WorkerMessagesDriveTheWindow) {
  const std::string source = dir_.MakeDir("watch");
  // "123456789" has the CRC-32 cbf43926.
  dir_.WriteFile("watch/set/x.part1.rar", "123456789");
  dir_.WriteFile("watch/set/x.sfv", "x.part1.rar cbf43926\r\n");
  WriteDirs("1\r\n" + source + "\r\n" + dir_.MakeDir("out") + "\r\n");
  auto window = MakeWindow();
  window->Controls().post_execution->setText(QStringLiteral("notify \"%3\""));
  window->Initialise();
  window->Controls().post_execution->setText(QStringLiteral("changed \"%1\""));
  // Let the pass end, as the worker would, then hand over everything it posted.
  window->Controller().Worker()->hDoneEvent.Wait();
  FinishPass(*window);
  const auto starts = PostExecutionStarts();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0], (std::vector<std::string>{"changed", source + "/set/"}));
  EXPECT_EQ(window->Controls().status->text(), QStringLiteral("Idle"));
  EXPECT_EQ(window->Controls().list->GetProgressPercent(0, 3), 0);
  EXPECT_EQ(window->Controls().file_progress->value(), 0);
}

}  // namespace
}  // namespace qs::test
