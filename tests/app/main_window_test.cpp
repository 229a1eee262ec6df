// The main window on the offscreen platform: its texts, menus and layout, the watch-list
// commands with their saves and questions, and the quit with its exit sequence in order.
#include "app/main_window.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <deque>

#include "app/command_ids.h"
#include "app/dialog_units.h"
#include "app/hidden_window.h"
#include "config/settings_keys.h"
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

QStringList Texts(std::initializer_list<const char*> texts) {
  QStringList list;
  for (const char* text : texts) {
    list << QString::fromUtf8(text);
  }
  return list;
}

QStringList MenuTexts(const QMenu* menu) {
  QStringList texts;
  for (const QAction* action : menu->actions()) {
    texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
  }
  return texts;
}

std::vector<int> MenuCommands(const QMenu* menu) {
  std::vector<int> ids;
  for (const QAction* action : menu->actions()) {
    ids.push_back(action->isSeparator() ? 0 : action->data().toInt());
  }
  return ids;
}

TEST_F(MainWindowTest, InitialTextsMenusAndColumns) {
  settings_.store.WriteText("PostExecution", "notify %1");
  auto window = MakeWindow();
  window->Initialise();
  const MainWindowControls& c = window->Controls();

  EXPECT_EQ(window->windowTitle(), QStringLiteral("Quarrystream"));
  EXPECT_EQ(c.add->text(), QStringLiteral("Add directory"));
  EXPECT_EQ(c.remove->text(), QStringLiteral("Remove"));
  EXPECT_EQ(c.browse->text(), QStringLiteral("..."));
  EXPECT_EQ(c.pause->text(), QStringLiteral("P"));
  EXPECT_EQ(c.quit->text(), QStringLiteral("Quit"));
  EXPECT_EQ(c.hide->text(), QStringLiteral("Hide"));
  EXPECT_EQ(c.file_progress_label->text(), QStringLiteral("SFV check in current directory:"));
  EXPECT_EQ(c.post_execution_label->text(), QStringLiteral("Post execution:"));
  EXPECT_EQ(c.countdown_label->text(), QStringLiteral("Next rescan:"));
  EXPECT_EQ(c.status_label->text(), QStringLiteral("Scanthread status:"));
  EXPECT_EQ(c.note->text(),
            QStringLiteral("Post execution is used so you're able to run a owndefined program "
                           "just after  it detected as finished\n%1 = Directory, %2 = "
                           "Directory+sfv-file, %3 = Directory+first rar-file"));
  EXPECT_FALSE(c.note->isEnabled());
  EXPECT_TRUE(c.note->alignment() & Qt::AlignHCenter);
  EXPECT_TRUE(c.post_execution_label->alignment() & Qt::AlignRight);
  EXPECT_TRUE(c.countdown_label->alignment() & Qt::AlignRight);
  EXPECT_TRUE(c.countdown->isReadOnly());
  EXPECT_TRUE(c.status->isReadOnly());
  EXPECT_FALSE(c.post_execution->isReadOnly());

  // Only the pause button has a string of its own.
  EXPECT_EQ(c.pause->toolTip(), QStringLiteral("Pause / unpause the countdown"));
  for (QWidget* other : {static_cast<QWidget*>(c.add), static_cast<QWidget*>(c.quit),
                         static_cast<QWidget*>(c.post_execution), static_cast<QWidget*>(c.list)}) {
    EXPECT_TRUE(other->toolTip().isEmpty());
  }

  // The first pass starts at once; the countdown stays empty until its first tick.
  EXPECT_EQ(c.status->text(), QStringLiteral("Running"));
  EXPECT_TRUE(c.countdown->text().isEmpty());
  EXPECT_EQ(c.post_execution->text(), QStringLiteral("notify %1"));
  EXPECT_EQ(c.file_progress->minimum(), 0);
  EXPECT_EQ(c.file_progress->maximum(), 100);

  const QList<QAction*> menus = window->MenuBar()->actions();
  ASSERT_EQ(menus.size(), 2);
  EXPECT_EQ(menus[0]->text(), QStringLiteral("File"));
  EXPECT_EQ(MenuTexts(menus[0]->menu()), Texts({"Add directory", "-", "Force start scan",
                                                "Force stop scan", "-", "Settings", "-", "Quit"}));
  EXPECT_EQ(MenuCommands(menus[0]->menu()),
            (std::vector<int>{1002, 0, 32773, 32774, 0, 32771, 0, 2}));
  EXPECT_EQ(menus[1]->text(), QStringLiteral("Help"));
  EXPECT_EQ(MenuTexts(menus[1]->menu()), Texts({"About Quarrystream"}));
  EXPECT_EQ(MenuCommands(menus[1]->menu()), std::vector<int>{57664});

  CCellListCtrl* list = c.list;
  ASSERT_EQ(list->GetColumnCount(), 4);
  const QStringList headings =
      Texts({"Include", "Source directory", "Destination directory", "Progress"});
  const int client_width = list->width() - 2 * list->frameWidth();
  const int widths[] = {30, (client_width - 120) / 2, (client_width - 120) / 2, 90};
  for (int column = 0; column < 4; ++column) {
    EXPECT_EQ(list->model()->headerData(column, Qt::Horizontal).toString(), headings[column]);
    EXPECT_EQ(list->columnWidth(column), widths[column]) << column;
  }
  EXPECT_EQ(list->GetHeaderCheck(0), 1);
}

// Every control sits where its dialog units put it, converted with the window's own font.
TEST_F(MainWindowTest, ControlsSitAtTheirDialogUnitRectangles) {
  auto window = MakeWindow();
  window->Initialise();
  const MainWindowControls& c = window->Controls();
  const DialogUnits units(window->font());
  const std::vector<std::pair<QWidget*, QRect>> table = {
      {c.list, QRect(7, -1, 320, 110)},
      {c.add, QRect(7, 112, 50, 14)},
      {c.remove, QRect(277, 112, 50, 14)},
      {c.file_progress_label, QRect(81, 115, 98, 8)},
      {c.file_progress, QRect(182, 115, 70, 10)},
      {c.note, QRect(7, 127, 320, 17)},
      {c.post_execution_label, QRect(5, 147, 49, 8)},
      {c.post_execution, QRect(56, 145, 248, 12)},
      {c.browse, QRect(310, 145, 17, 12)},
      {c.countdown_label, QRect(12, 165, 42, 8)},
      {c.countdown, QRect(56, 163, 50, 12)},
      {c.pause, QRect(107, 163, 10, 12)},
      {c.status_label, QRect(118, 165, 60, 8)},
      {c.status, QRect(181, 163, 40, 12)},
      {c.quit, QRect(223, 161, 50, 14)},
      {c.hide, QRect(277, 161, 50, 14)},
  };
  for (const auto& [control, dlu] : table) {
    EXPECT_EQ(control->geometry(), units.Rect(dlu.x(), dlu.y(), dlu.width(), dlu.height()))
        << control->metaObject()->className() << " " << dlu.x() << "," << dlu.y();
  }
  // The list's top edge lies one unit above the client area, under the menu bar.
  EXPECT_LT(c.list->geometry().top(), 0);
  EXPECT_EQ(c.list->parentWidget()->size(), units.Size(334, 182));
  window->show();
  EXPECT_EQ(window->minimumSize(), window->maximumSize());  // fixed size
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
}

TEST(DialogUnitsTest, ConvertsAsTheDialogManagerDoes) {
  // Base units 6 x 13: x * 6 / 4 and y * 13 / 8, each rounded half away from zero.
  EXPECT_EQ(MulDiv(7, 6, 4), 11);    // 10.5
  EXPECT_EQ(MulDiv(-1, 13, 8), -2);  // -1.625
  EXPECT_EQ(MulDiv(110, 13, 8), 179);
  EXPECT_EQ(MulDiv(3, 13, 8), 5);  // 4.875
  EXPECT_EQ(MulDiv(1, 1, 2), 1);
  EXPECT_EQ(MulDiv(-1, 1, 2), -1);
  EXPECT_EQ(MulDiv(5, 5, 0), -1);
  const DialogUnits units(DialogFont());
  EXPECT_GT(units.BaseX(), 0);
  EXPECT_EQ(units.BaseY(), QFontMetrics(DialogFont()).height());
  EXPECT_EQ(units.Rect(4, 8, 4, 8),
            QRect(units.BaseX(), units.BaseY(), units.BaseX(), units.BaseY()));
}

TEST_F(MainWindowTest, RowsShowTheWatchListWithChecksImagesAndProgress) {
  WriteDirs("1\r\n/in/a\r\n/out/a\r\n0\r\n/in/b\r\n/out/b\r\n2\r\n/in/c\r\n/out/c\r\n");
  auto window = MakeWindow();
  window->Initialise();
  CCellListCtrl* list = window->Controls().list;
  ASSERT_EQ(list->GetItemCount(), 3);
  const int checks[] = {1, 0, 0};  // a stored 2 is not scanned, so not ticked
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(list->GetCheckState(row, 0), checks[row]) << row;
    EXPECT_EQ(list->GetProgressPercent(row, 3), 0);
  }
  EXPECT_EQ(list->GetItemText(1, 1), QStringLiteral("/in/b"));
  EXPECT_EQ(list->GetItemText(1, 2), QStringLiteral("/out/b"));
}

// A click in the "Include" cell reaches the window as the check-box notification: the entry's
// flag follows the box and dirs.cfg is saved at once, with no reload.
TEST_F(MainWindowTest, IncludeToggleSavesDirsCfg) {
  WriteDirs("1\r\n/in/a\r\n/out/a\r\n2\r\n/in/c\r\n/out/c\r\n");
  auto window = MakeWindow();
  window->Initialise();
  window->show();
  CCellListCtrl* list = window->Controls().list;
  list->SetProgressPercent(1, 3, 40);
  auto click = [&](int row) {
    QRect cell;
    ASSERT_TRUE(list->GetCellRect(row, 0, &cell));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
  };
  click(0);
  EXPECT_EQ(ReadDirs(), "0\r\n/in/a\r\n/out/a\r\n2\r\n/in/c\r\n/out/c\r\n");
  click(1);
  EXPECT_EQ(ReadDirs(), "0\r\n/in/a\r\n/out/a\r\n1\r\n/in/c\r\n/out/c\r\n");
  EXPECT_EQ(list->GetProgressPercent(1, 3), 40);  // not rebuilt
  click(0);
  EXPECT_EQ(ReadDirs(), "1\r\n/in/a\r\n/out/a\r\n1\r\n/in/c\r\n/out/c\r\n");
  EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(MainWindowTest, AddAsksSourceThenDestinationAndSavesTwice) {
  WriteDirs("1\r\n/in/a\r\n/out/a\r\n");
  auto window = MakeWindow();
  window->Initialise();
  int writes = 0;
  fs_.before_write = [&](const std::string& path) { writes += path == DirsPath(); };
  dialogs_.directories = {"/in/new dir", "/out/new"};
  window->OnCommand(kIdAddDirectory);
  EXPECT_EQ(dialogs_.prompts, (std::vector<std::string>{std::string(kSourcePrompt),
                                                        std::string(kDestinationPrompt)}));
  EXPECT_EQ(writes, 2);
  EXPECT_EQ(ReadDirs(), "1\r\n/in/a\r\n/out/a\r\n1\r\n/in/new dir\r\n/out/new\r\n");
  EXPECT_EQ(window->Controls().list->GetItemCount(), 2);
  EXPECT_EQ(window->Controls().list->GetCheckState(1, 0), 1);

  // The same pair again: no duplicate check.
  dialogs_.directories = {"/in/new dir", "/out/new"};
  window->OnCommand(kIdAddDirectory);
  EXPECT_EQ(window->List().Count(), 3u);
}

TEST_F(MainWindowTest, CancellingEitherBrowserLeavesTheFileUntouched) {
  WriteDirs("1\r\n/in/a\r\n/out/a\r\n");
  auto window = MakeWindow();
  window->Initialise();
  int writes = 0;
  fs_.before_write = [&](const std::string&) { ++writes; };
  for (const auto& answers : {std::deque<std::string>{""}, std::deque<std::string>{"/in/b", ""}}) {
    dialogs_.directories = answers;
    window->OnCommand(kIdAddDirectory);
    EXPECT_TRUE(dialogs_.directories.empty());
  }
  EXPECT_EQ(writes, 0);
  EXPECT_EQ(window->List().Count(), 1u);
}

struct RemoveCase {
  int confirmation_level;
  bool asks;
};

class RemoveTest : public DesktopTest, public ::testing::WithParamInterface<RemoveCase> {};

TEST_P(RemoveTest, AsksOnlyAtConfirmationLevelTwo) {
  WriteDirs("1\r\n/in/a\r\n/out/a\r\n0\r\n/in/b\r\n/out/b\r\n");
  settings_.store.WriteInt("ConfirmationLevel", GetParam().confirmation_level);
  auto window = MakeWindow();
  window->Initialise();
  CCellListCtrl* list = window->Controls().list;
  list->SetProgressPercent(0, 3, 70);

  // Nothing selected.
  window->OnCommand(kIdRemove);
  ASSERT_EQ(dialogs_.shown.size(), 1u);
  EXPECT_EQ(dialogs_.shown[0].text, "Select object in list before deletion");
  EXPECT_EQ(dialogs_.shown[0].icon, MessageIcon::kInformation);
  dialogs_.shown.clear();

  list->SelectRow(1);
  if (GetParam().asks) {
    dialogs_.answers = {false};
    window->OnCommand(kIdRemove);
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].text,
              "Do you want to delete selected directory from the watchlist?");
    EXPECT_EQ(dialogs_.shown[0].caption, "Remove directory?");
    EXPECT_EQ(window->List().Count(), 2u);
    dialogs_.answers = {true};
  }
  window->OnCommand(kIdRemove);
  EXPECT_EQ(ReadDirs(), "1\r\n/in/a\r\n/out/a\r\n");
  ASSERT_EQ(list->GetItemCount(), 1);
  EXPECT_EQ(list->GetProgressPercent(0, 3), 0);  // rebuilt from the file
  EXPECT_EQ(dialogs_.shown.size(), GetParam().asks ? 2u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Levels, RemoveTest,
                         ::testing::Values(RemoveCase{0, false}, RemoveCase{1, false},
                                           RemoveCase{2, true}));

TEST_F(MainWindowTest, BrowseForProgramPutsTheChoiceInQuotes) {
  auto window = MakeWindow();
  window->Initialise();
  QLineEdit* field = window->Controls().post_execution;
  field->setText(QStringLiteral("kept"));
  dialogs_.program = std::nullopt;
  window->OnCommand(kIdBrowseProgram);
  EXPECT_EQ(field->text(), QStringLiteral("kept"));
  dialogs_.program = "/opt/tools/run prog";
  window->OnCommand(kIdBrowseProgram);
  EXPECT_EQ(field->text(), QStringLiteral("\"/opt/tools/run prog\""));
}

TEST_F(MainWindowTest, MenuCommandsReachTheirDialogsAndTheController) {
  auto window = MakeWindow();
  window->Initialise();
  window->OnCommand(kIdSettings);
  window->OnCommand(kIdAbout);
  window->OnCommand(kIdSystemAbout);
  EXPECT_EQ(dialogs_.settings_runs, 1);
  EXPECT_EQ(dialogs_.about_runs, 2);

  window->OnCommand(kIdForceStopScan);
  FinishPass(*window);
  EXPECT_EQ(window->Controls().status->text(), QStringLiteral("Idle"));
  EXPECT_TRUE(window->Controller().CountdownRunning());
  window->OnCommand(kIdPause);
  EXPECT_FALSE(window->Controller().CountdownRunning());
  EXPECT_EQ(window->Controls().countdown->text(), QStringLiteral("300 s [paused]"));
  window->OnCommand(kIdForceStartScan);
  EXPECT_TRUE(window->Controller().HasWorker());
  EXPECT_EQ(window->Controls().countdown->text(), QStringLiteral("0 s"));
  EXPECT_EQ(window->Controls().status->text(), QStringLiteral("Running"));
}

// Enter presses nothing; Escape asks the quit question.
TEST_F(MainWindowTest, EnterNeverClosesAndEscapeAsksTheQuitQuestion) {
  auto window = MakeWindow();
  window->Initialise();
  window->show();
  for (QWidget* focus : {static_cast<QWidget*>(window->Controls().post_execution),
                         static_cast<QWidget*>(window->Controls().quit),
                         static_cast<QWidget*>(window->Controls().list)}) {
    focus->setFocus();
    QTest::keyClick(focus, Qt::Key_Return);
    QTest::keyClick(focus, Qt::Key_Enter);
  }
  EXPECT_TRUE(dialogs_.shown.empty());
  EXPECT_TRUE(window->isVisible());

  dialogs_.answers = {false};
  QTest::keyClick(window->Controls().post_execution, Qt::Key_Escape);
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
    return model->data(model->index(1, column), Qt::ToolTipRole).toString();
  };

  window->ReportFailure(1, "cannot start a");
  window->SetRowReport(1, report);
  for (int column = 0; column < 4; ++column) {
    EXPECT_EQ(tip(column).toStdString(), summary + "\ncannot start a") << column;
  }
  window->OnCommand(kIdHide);
  window->ReportFailure(1, "bad CRC b");
  window->ReportFailure(1, "cannot start a");  // in the tooltip already: no second message
  EXPECT_EQ(tip(2).toStdString(), summary + "\ncannot start a\nbad CRC b");
  EXPECT_EQ(log->balloons, Texts({"Quarrystream: bad CRC b"}));
  window->SetRowReport(1, report);
  window->ReportFailure(1, "bad CRC b");  // the same volume fails at the next pass
  EXPECT_EQ(log->balloons.size(), 1);
  window->SetRowReport(1, report);
  window->SetRowReport(1, report);  // a pass with no new failure: the old ones go
  EXPECT_EQ(tip(3).toStdString(), summary);
}

// The own "/ADDDIR:" is asked before the first pass starts; an empty path is refused.
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

TEST_F(MainWindowTest, CommandLineTexts) {
  auto window = MakeWindow();
  window->Initialise();
  window->HandleCommandLine("/ADDDIR:");
  ASSERT_EQ(dialogs_.shown.size(), 1u);
  EXPECT_EQ(dialogs_.shown[0].text, "You must have a source directory!");
  EXPECT_EQ(dialogs_.shown[0].caption, "Mirrowen");
  // Texts without the marker, and an empty one, are no command.
  window->HandleCommandLine("");
  window->HandleCommandLine("--something /in");
  EXPECT_EQ(dialogs_.shown.size(), 1u);
  EXPECT_TRUE(dialogs_.prompts.empty());
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
