#include "app/main_window.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "app/app_icons.h"
#include "app/command_ids.h"
#include "app/desktop_dialogs.h"
#include "app/dialog_units.h"
#include "app/hidden_window.h"
#include "app/qt_countdown_timer.h"
#include "config/add_dir_command.h"
#include "config/settings_keys.h"
#include "platform/single_instance.h"
#include "scan/scan_controller.h"
#include "scan/set_report.h"
#include "widgets/cell_list_ctrl.h"
#include "widgets/image_list.h"
#include "widgets/tray_icon.h"

namespace qs {

namespace {

constexpr std::string_view kQuitQuestion =
    "Do you want to exit Quarrystream, the directories will no longer be watched!";
constexpr std::string_view kQuitCaption = "Quit Quarrystream";

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

MainWindow::MainWindow(MainWindowSetup setup, QWidget* parent)
    : QDialog(parent), setup_(std::move(setup)) {
  // Dialog 102: a fixed-size window with caption, system menu and minimise box.
  setWindowTitle(QStringLiteral("Quarrystream"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(DialogFont());
  const DialogUnits units(font());
  const auto on_command = [this](int id) { OnCommand(id); };

  menu_bar_ = CreateMainMenu(this, on_command);
  client_ = new QWidget(this);
  client_->setFixedSize(units.Size(334, 182));
  controls_ = CreateMainWindowControls(client_, units, on_command);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->setMenuBar(menu_bar_);
  layout->addWidget(client_);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  setup_.dialogs->SetOwner(this);
  editor_ = std::make_unique<WatchListEditor>(*setup_.fs, setup_.dirs_path, list_, *setup_.dialogs,
                                              *setup_.settings);
  editor_->SetReloadedCallback([this] { FillRows(); });
  queue_.SetWakeUp([this] { WakeForMessages(); });
  completion_ = std::make_unique<CompanionCompletion>(
      *setup_.settings, *setup_.fs, queue_, setup_.executable_directory, setup_.start_companion);
  timer_ = std::make_unique<QtCountdownTimer>(
      [this] { controller_->OnCountdownTimer(kCountdownTimerId); });
  ScanControllerSetup controller_setup;
  controller_setup.watch_list = &list_;
  controller_setup.settings = setup_.settings;
  controller_setup.fs = setup_.fs;
  controller_setup.completion = completion_.get();
  controller_setup.sink = &queue_;
  controller_setup.display = this;
  controller_setup.timer = timer_.get();
  controller_setup.sleeper = setup_.sleeper;
  controller_setup.start_command = setup_.start_command;
  controller_setup.log = setup_.log;
  controller_setup.report_path = LastPassReportPath(setup_.dirs_path);
  controller_ = std::make_unique<ScanController>(controller_setup);
  hidden_window_ = std::make_unique<HiddenWindow>(
      HiddenWindow::Target{[this](const std::string& text) { OnCopyData(text); },
                           [this] { OnCommand(kIdCancel); }},
      *setup_.dialogs);
  connect(controls_.list, &CCellListCtrl::CheckboxClicked, this,
          &MainWindow::OnCellListCheckboxClicked);
  tray_ = std::make_unique<CTrayIcon>(this, std::move(setup_.tray_shell));
  connect(tray_.get(), &CTrayIcon::TrayCommand, this,
          [this](unsigned command) { OnCommand(static_cast<int>(command)); });
}

// The members go in reverse order: the tray and the door first, then the controller, which
// stops and joins a worker still running; the queue it posted into outlives it. Wake-ups posted
// meanwhile target this object and are dropped with it.
MainWindow::~MainWindow() = default;

void MainWindow::Initialise() {
  if (initialised_) {
    return;
  }
  initialised_ = true;
  // 1. The controls exist and the list has its header. 2. The system menu of the window manager
  // takes no items from the program, so the about item lives in the Help menu alone.
  // 3. The icon.
  setWindowIcon(WindowIcon());
  // 4. Tooltips: each control's text is the string-table entry of its own identifier.
  for (QWidget* child : client_->findChildren<QWidget*>()) {
    const QString tip = LoadString(ControlId(child));
    if (ControlId(child) != 0 && !tip.isEmpty()) {
      child->setToolTip(tip);
    }
  }
  // 5. The countdown is off: the controller starts so. 6, 7. Columns and images.
  BuildColumns();
  // 8, 9.
  editor_->LoadDirs();
  // 10, 11.
  controls_.post_execution->setText(ToQString(ReadText(*setup_.settings, Setting::PostExecution)));
  // 12. The lock decides; only its holder opens the door for later starts.
  instance_lock_held_ = setup_.lock != nullptr && setup_.lock->TryAcquire();
  if (instance_lock_held_) {
    hidden_window_->Create(setup_.channel_path);
  }
  // 13. The own "/ADDDIR:" is asked for before the first pass starts.
  HandleCommandLine(setup_.command_line);
  // 14. The countdown from ReScan, then the first pass at once.
  controller_->Initialise();
  // 15.
  if (IsOn(*setup_.settings, Setting::HideToTray)) {
    HideToTray();
  }
  // 16.
  controls_.list->setFocus();
}

int MainWindow::RunModal() {
  Initialise();
  if (closed_) {
    return result();  // quit already, from a question asked during the initialisation
  }
  QEventLoop loop;
  connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
  if (!IsHiddenInTray()) {
    show();
  }
  loop.exec();
  return result();
}

void MainWindow::OnCommand(int id) {
  if (closed_) {
    return;  // after the exit sequence nothing may run again, least of all a save
  }
  switch (id) {
    case kIdOk:
      break;
    case kIdCancel:
      OnQuit();
      break;
    case kIdPause:
      controller_->OnPauseButton();
      break;
    case kIdAddDirectory:
      OnAddDirectory();
      break;
    case kIdRemove:
      OnRemove();
      break;
    case kIdBrowseProgram:
      OnBrowseProgram();
      break;
    case kIdHide:
      HideToTray();
      break;
    case kIdSettings:
      setup_.dialogs->RunSettingsDialog();
      break;
    case kIdShowWindow:
      ShowFromTray();
      break;
    case kIdForceStartScan:
      controller_->OnForceStartScan();
      break;
    case kIdForceStopScan:
      controller_->OnForceStopScan();
      break;
    case kIdAbout:
    case kIdSystemAbout:
      setup_.dialogs->RunAboutBox();
      break;
    default:
      break;
  }
}

void MainWindow::accept() {}

void MainWindow::reject() {
  OnCommand(kIdCancel);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  OnCommand(kIdCancel);
}

void MainWindow::OnQuit() {
  if (AsksOnQuit(*setup_.settings) && !setup_.dialogs->AskYesNo(kQuitQuestion, kQuitCaption)) {
    return;
  }
  RunExitSequence();
  done(kIdCancel);
}

void MainWindow::RunExitSequence() {
  closed_ = true;
  if (instance_lock_held_) {
    setup_.lock->Release();
    instance_lock_held_ = false;
  }
  controller_->Shutdown();
  editor_->SaveDirs();
  list_.Clear();
  WriteText(*setup_.settings, Setting::PostExecution, PostExecutionText());
}

void MainWindow::OnCopyData(const std::string& text) {
  HandleCommandLine(text);
}

void MainWindow::OnTerminateRequest() {
  if (hidden_window_->Exists()) {
    hidden_window_->Close();
  } else {
    OnCommand(kIdCancel);
  }
}

// A text without "/ADDDIR:" is no command, and is ignored.
void MainWindow::HandleCommandLine(const std::string& text) {
  if (closed_) {
    return;
  }
  if (const std::optional<std::string> path = ParseAddDirCommand(text)) {
    editor_->AddDirectoryFromCommand(*path, *this);
  }
}

void MainWindow::BringToFront() {
  // A window in the tray stays there; the folder browser still comes up.
  if (IsHiddenInTray()) {
    return;
  }
  setFocus();
  activateWindow();
  raise();
}

std::string MainWindow::AskDirectory(std::string_view prompt) {
  return setup_.dialogs->BrowseForDirectory(prompt);
}

void MainWindow::WakeForMessages() {
  if (!drain_pending_.exchange(true)) {
    QMetaObject::invokeMethod(
        this, [this] { DrainScanMessages(); }, Qt::QueuedConnection);
  }
}

void MainWindow::DrainScanMessages() {
  drain_pending_.store(false);
  ScanMessage message;
  while (queue_.TryTake(message)) {
    controller_->Dispatch(std::move(message));
  }
}

void MainWindow::SetStatusText(std::string_view text) {
  controls_.status->setText(ToQString(text));
}

void MainWindow::SetCountdownText(std::string_view text) {
  controls_.countdown->setText(ToQString(text));
}

void MainWindow::SetProgressPercent(std::int64_t row, int column, std::int64_t percent) {
  if (row < 0 || row > INT_MAX) {
    return;
  }
  controls_.list->SetProgressPercent(
      static_cast<int>(row), column,
      static_cast<int>(std::clamp<std::int64_t>(percent, INT_MIN, INT_MAX)));
}

// The bar's range is 0 to 100 and a position outside it is pinned to its end.
void MainWindow::SetFileProgress(std::int64_t percent) {
  controls_.file_progress->setValue(static_cast<int>(std::clamp<std::int64_t>(percent, 0, 100)));
}

std::size_t MainWindow::RowCount() const {
  return static_cast<std::size_t>(controls_.list->GetItemCount());
}

std::string MainWindow::PostExecutionText() const {
  return controls_.post_execution->text().toStdString();
}

}  // namespace qs
