// The program's main window: the watch list with its add, remove and include commands, the
// post-execution field, the countdown and the worker's status, the menus, the tray, and the
// single-instance door. It drives the scan through the same ScanController as the headless
// runner; the worker's messages reach it through a queue drained on the GUI thread.
//
// Thread contract: every member runs on the GUI thread. The worker only posts into the queue,
// whose wake-up posts a queued call to this window.
#pragma once

#include <QDialog>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "app/app_services.h"
#include "app/main_window_controls.h"
#include "config/watch_list.h"
#include "config/watch_list_editor.h"
#include "scan/companion_completion.h"
#include "scan/post_execution.h"
#include "scan/scan_display.h"
#include "scan/scan_message_queue.h"
#include "widgets/tray_shell.h"

class QMenuBar;
class QSocketNotifier;

namespace qs {

class DesktopDialogs;
class HiddenWindow;
class ImageList;
class InstanceLock;
class FolderWatcher;
class QtCountdownTimer;
class ScanController;
class Sleeper;
class CTrayIcon;

struct MainWindowSetup {
  const AppServices& services;
  std::string dirs_path{};  // dirs.cfg
  DesktopDialogs* dialogs = nullptr;
  std::string command_line{};  // the program's own command-line text ("/ADDDIR:...")
  // The single-instance lock, held by the start-up already or taken again at initialisation;
  // null: this window takes part in no single-instance rule.
  InstanceLock* lock = nullptr;
  std::string channel_path{};            // where later starts find this instance
  ArgumentsStarter start_command{};      // the post-execution command; null: started for real
  CommandLineStarter start_companion{};  // the companion program; null: started for real
  Sleeper* sleeper = nullptr;            // the stop's settling pause; null: real sleeping
  // The notification area; null: the desktop's own (QSystemTrayIcon). Where the desktop has
  // none, Hide minimises the window.
  std::unique_ptr<TrayShell> tray_shell{};
};

class MainWindow final : public QDialog, public ScanDisplay, private AddDirectoryFrontEnd {
  Q_OBJECT

 public:
  explicit MainWindow(MainWindowSetup setup, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The initialisation, in its order: controls, icon, tooltips, columns, image list, the watch
  // list from dirs.cfg, the countdown, the post-execution field, the single-instance door, the
  // own command line, the first scan pass, and the tray when HideToTray is 1.
  void Initialise();
  // Initialise, show, and run until the quit command closes the window.
  int RunModal();

  // Every command of the buttons, the menus and the tray.
  void OnCommand(int id);
  // A later start's command-line text, forwarded by the hidden window.
  void OnCopyData(const std::string& text);
  // SIGTERM and SIGINT: the exit sequence at once, without the quit question; whatever dialog
  // is open is closed without acting.
  void OnTerminateRequest();
  void HandleCommandLine(const std::string& text);
  // The list's "WM_CELLLIST_CHECKBOX_CLICKED".
  void OnCellListCheckboxClicked(int row, int column);

  // ScanDisplay.
  void SetStatusText(std::string_view text) override;
  void SetCountdownText(std::string_view text) override;
  void SetProgressPercent(std::int64_t row, int column, std::int64_t percent) override;
  void SetFileProgress(std::int64_t percent) override;
  std::size_t RowCount() const override;
  std::string PostExecutionText() const override;
  void SetRowReport(std::int64_t row, const RowReport& report) override;
  void ReportFailure(std::int64_t row, std::string_view text) override;

  // The window counts as hidden exactly while the tray icon exists.
  bool IsHiddenInTray() const;

  const MainWindowControls& Controls() const { return controls_; }
  QMenuBar* MenuBar() const { return menu_bar_; }
  const WatchList& List() const { return list_; }
  ScanController& Controller() { return *controller_; }
  HiddenWindow* Door() const { return hidden_window_.get(); }
  CTrayIcon& Tray() const { return *tray_; }
  // Hands every worker message queued so far to the controller.
  void DrainScanMessages();

 public slots:
  void accept() override;  // Enter: nothing
  void reject() override;  // Escape: the quit command

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // AddDirectoryFrontEnd.
  void BringToFront() override;
  std::string AskDirectory(std::string_view prompt) override;

  void BuildColumns();
  void FillRows();
  void OnAddDirectory();
  void OnRemove();
  void OnBrowseProgram();
  void OnQuit();
  // Runs at most once, whoever asks: every later request, and every dialog that was open, finds
  // the window closed and does nothing.
  void RunExitSequence();
  bool DirsFileHoldsEntries() const;
  void ShowRowTip(int row);
  void HideToTray();
  void ShowFromTray();
  void WakeForMessages();

  // What a row's tooltip shows: the last report of the row, then the failures reported since
  // the report before it, so that a failure met while the row was walked outlives that report.
  struct RowTip {
    std::string report;
    std::vector<std::string> earlier_failures;
    std::vector<std::string> failures;
  };

  MainWindowSetup setup_;
  // The setup's dialogs behind the exit's guard; setup_.dialogs points here from construction.
  std::unique_ptr<DesktopDialogs> dialogs_;
  QWidget* client_ = nullptr;
  QMenuBar* menu_bar_ = nullptr;
  MainWindowControls controls_;
  std::unique_ptr<ImageList> images_;
  WatchList list_;
  std::unique_ptr<WatchListEditor> editor_;
  std::vector<RowTip> row_tips_;  // by row; emptied whenever the rows are rebuilt
  // Declared before the controller, which joins the worker that posts into it.
  ScanMessageQueue queue_;
  std::atomic<bool> drain_pending_{false};
  std::unique_ptr<CompanionCompletion> completion_;
  std::unique_ptr<QtCountdownTimer> timer_;
  // Change notifications: the watcher's descriptor and the timer of a changed row falling due.
  std::unique_ptr<FolderWatcher> watcher_;
  std::unique_ptr<QSocketNotifier> watcher_notifier_;
  std::unique_ptr<QtCountdownTimer> change_timer_;
  std::unique_ptr<ScanController> controller_;
  bool instance_lock_held_ = false;
  std::unique_ptr<HiddenWindow> hidden_window_;
  std::unique_ptr<CTrayIcon> tray_;
  bool initialised_ = false;
  bool closed_ = false;  // the exit sequence has begun
  bool quit_question_open_ = false;
};

}  // namespace qs
