#include "app/main_window.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QSocketNotifier>
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
#include "config/dirs_file.h"
#include "config/settings_keys.h"
#include "platform/folder_watcher.h"
#include "platform/single_instance.h"
#include "scan/change_trigger.h"
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

// At most this many failures stand in a row's tooltip, the newest; the log keeps them all.
constexpr std::size_t kTipFailures = 6;

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The window's dialogs once the exit may have begun: afterwards none opens, and one that was open
// when it began answers as cancelled, whatever the user picked in it meanwhile. A Yes or a folder
// chosen then would change a list that is already saved and freed, and save it again. The exit's
// own failure to save goes unshown too: after a signal nobody may be there to close the box.
class ExitGuardedDialogs final : public DesktopDialogs {
 public:
  ExitGuardedDialogs(DesktopDialogs& inner, const bool& exited) : inner_(inner), exited_(exited) {}

  void SetOwner(QWidget* owner) override { inner_.SetOwner(owner); }
  void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) override {
    if (!exited_) {
      inner_.ShowMessage(text, caption, icon);
    }
  }
  bool AskYesNo(std::string_view text, std::string_view caption) override {
    return !exited_ && inner_.AskYesNo(text, caption) && !exited_;
  }
  std::string BrowseForDirectory(std::string_view prompt) override {
    std::string chosen = exited_ ? std::string() : inner_.BrowseForDirectory(prompt);
    return exited_ ? std::string() : chosen;
  }
  std::optional<std::string> BrowseForProgram() override {
    std::optional<std::string> chosen = exited_ ? std::nullopt : inner_.BrowseForProgram();
    return exited_ ? std::nullopt : chosen;
  }
  void RunSettingsDialog() override {
    if (!exited_) {
      inner_.RunSettingsDialog();
    }
  }
  void RunAboutBox() override {
    if (!exited_) {
      inner_.RunAboutBox();
    }
  }
  void CloseAll() override { inner_.CloseAll(); }

 private:
  DesktopDialogs& inner_;
  const bool& exited_;
};

}  // namespace

MainWindow::MainWindow(MainWindowSetup setup, QWidget* parent)
    : QDialog(parent), setup_(std::move(setup)) {
  // A fixed-size window with caption, system menu and minimise box.
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

  dialogs_ = std::make_unique<ExitGuardedDialogs>(*setup_.dialogs, closed_);
  setup_.dialogs = dialogs_.get();
  setup_.dialogs->SetOwner(this);
  const AppServices& services = setup_.services;
  editor_ = std::make_unique<WatchListEditor>(services.fs, setup_.dirs_path, list_, *setup_.dialogs,
                                              services.settings);
  // Rows may have moved: their reports wait for the next pass.
  editor_->SetReloadedCallback([this] {
    row_tips_.clear();
    FillRows();
  });
  queue_.SetWakeUp([this] { WakeForMessages(); });
  completion_ =
      std::make_unique<CompanionCompletion>(services.settings, services.fs, queue_,
                                            services.executable_directory, setup_.start_companion);
  timer_ = std::make_unique<QtCountdownTimer>(
      [this] { controller_->OnCountdownTimer(kCountdownTimerId); });
  watcher_ = NewFolderWatcher();
  if (watcher_->Fd() >= 0) {
    watcher_notifier_ = std::make_unique<QSocketNotifier>(watcher_->Fd(), QSocketNotifier::Read);
    connect(watcher_notifier_.get(), &QSocketNotifier::activated, this,
            [this] { controller_->OnFolderChanges(); });
  }
  change_timer_ = std::make_unique<QtCountdownTimer>([this] { controller_->OnChangeTimer(); });
  controller_ = std::make_unique<ScanController>(ScanControllerSetup{
      services.ForScan(list_, queue_, *completion_), this, timer_.get(), setup_.sleeper,
      setup_.start_command, LastPassReportPath(setup_.dirs_path), PassMode::kWindow, watcher_.get(),
      change_timer_.get()});
  hidden_window_ = std::make_unique<HiddenWindow>(
      HiddenWindow::Target{[this](const std::string& text) { OnCopyData(text); },
                           [this] { OnTerminateRequest(); }},
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
  // The controls exist already. The window manager's menu takes no items from the program, so
  // the about item lives in the Help menu alone.
  setWindowIcon(WindowIcon());
  // The countdown is off: the controller starts so.
  BuildColumns();
  editor_->LoadDirs();
  controls_.post_execution->setText(
      ToQString(ReadText(setup_.services.settings, Setting::PostExecution)));
  // The lock decides; only its holder opens the door for later starts.
  instance_lock_held_ = setup_.lock != nullptr && setup_.lock->TryAcquire();
  if (instance_lock_held_) {
    hidden_window_->Create(setup_.channel_path);
  }
  // The own "/ADDDIR:" is asked for before the first pass starts.
  HandleCommandLine(setup_.command_line);
  // A signal handled while a dialog above was open has ended the program already.
  if (closed_) {
    return;
  }
  // The countdown from ReScan, then the first pass at once.
  controller_->Initialise();
  if (IsOn(setup_.services.settings, Setting::HideToTray)) {
    HideToTray();
  }
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

// A quit asked for while its question is open (the tray menu, the close box) is that same quit.
void MainWindow::OnQuit() {
  if (quit_question_open_) {
    return;
  }
  if (AsksOnQuit(setup_.services.settings)) {
    quit_question_open_ = true;
    const bool yes = setup_.dialogs->AskYesNo(kQuitQuestion, kQuitCaption);
    quit_question_open_ = false;
    if (!yes) {
      return;
    }
  }
  RunExitSequence();
}

void MainWindow::RunExitSequence() {
  if (closed_) {
    return;
  }
  closed_ = true;
  setup_.dialogs->CloseAll();
  if (instance_lock_held_) {
    setup_.lock->Release();
    instance_lock_held_ = false;
  }
  // Later starts then find no instance, rather than one that no longer answers.
  hidden_window_->Destroy();
  controller_->Shutdown();
  // The file is the master copy: an empty list never replaces entries the file holds (a list
  // that could not be loaded, say).
  if (list_.Count() > 0 || !DirsFileHoldsEntries()) {
    editor_->SaveDirs();
  }
  list_.Clear();
  WriteText(setup_.services.settings, Setting::PostExecution, PostExecutionText());
  done(kIdCancel);
}

bool MainWindow::DirsFileHoldsEntries() const {
  std::unique_ptr<ReadableFile> file;
  return setup_.services.fs.OpenForReading(setup_.dirs_path, file) == kErrorSuccess && file &&
         !ParseDirs(*file).empty();
}

void MainWindow::OnCopyData(const std::string& text) {
  HandleCommandLine(text);
}

// Nobody may be at the screen (a logout, a service stop): a question would wait for ever.
void MainWindow::OnTerminateRequest() {
  RunExitSequence();
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

void MainWindow::SetRowReport(std::int64_t row, const RowReport& report) {
  if (row < 0 || row >= controls_.list->GetItemCount()) {
    return;
  }
  row_tips_.resize(std::max(row_tips_.size(), static_cast<std::size_t>(row) + 1));
  RowTip& tip = row_tips_[static_cast<std::size_t>(row)];
  tip.report = FormatRowReport(report);
  tip.earlier_failures = std::move(tip.failures);
  tip.failures.clear();
  ShowRowTip(static_cast<int>(row));
}

void MainWindow::ReportFailure(std::int64_t row, std::string_view text) {
  const bool has_row = row >= 0 && row < controls_.list->GetItemCount();
  if (has_row) {
    row_tips_.resize(std::max(row_tips_.size(), static_cast<std::size_t>(row) + 1));
  }
  RowTip* tip = has_row ? &row_tips_[static_cast<std::size_t>(row)] : nullptr;
  // A volume that fails again at every pass is told once, not every few minutes.
  const auto said = [text](const std::vector<std::string>& list) {
    return std::find(list.begin(), list.end(), text) != list.end();
  };
  if (IsHiddenInTray() &&
      (tip == nullptr || (!said(tip->earlier_failures) && !said(tip->failures)))) {
    tray_->PopBalloon(ToQString(text), windowTitle());
  }
  if (tip != nullptr) {
    tip->failures.emplace_back(text);
    ShowRowTip(static_cast<int>(row));
  }
}

void MainWindow::ShowRowTip(int row) {
  const RowTip& tip = row_tips_[static_cast<std::size_t>(row)];
  std::vector<std::string> failures;
  for (const auto* list : {&tip.earlier_failures, &tip.failures}) {
    for (const std::string& failure : *list) {
      // The same failure met again in the next pass is said once.
      if (std::find(failures.begin(), failures.end(), failure) == failures.end()) {
        failures.push_back(failure);
      }
    }
  }
  if (failures.size() > kTipFailures) {
    failures.erase(failures.begin(), failures.end() - kTipFailures);
  }
  std::string text = tip.report;
  for (const std::string& failure : failures) {
    text += (text.empty() ? "" : "\n") + failure;
  }
  for (int column = 0; column < controls_.list->GetColumnCount(); ++column) {
    controls_.list->SetCellTip(row, column, ToQString(text));
  }
}

}  // namespace qs
