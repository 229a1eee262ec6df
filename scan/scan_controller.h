// The machinery around the scan worker, free of any GUI: starting and stopping the one worker,
// its pause, the countdown to the next pass and the handling of the worker's messages. The
// desktop window and the headless runner both drive this one state machine.
//
// Thread contract: every member function is called on one thread, the front end's (the
// "window's thread"), never on the worker. The worker posts into `sink`; the front end carries
// each message over to its own thread, in the order posted, and calls Dispatch there. Messages
// of a worker that is already released are harmless: progress only sets display values.
// StopScan (and every handler that calls it) only begins the stop: the worker settles it on its
// own thread and posts WM_SCAN_STOPPED, whose Dispatch releases it and does what follows the
// stop. Until then the controller keeps the worker, as for a pass that has ended. Shutdown and
// the destructor block for at most about a second: a worker stuck longer (a read on a hung
// mount) is left behind.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "config/watch_entry.h"
#include "scan/change_trigger.h"

#include "scan/post_execution.h"
#include "scan/scan_messages.h"
#include "scan/scan_pass.h"

namespace qs {

class CompletionActions;
class CountdownTimer;
class EventLog;
class FileSystem;
class FolderWatcher;
class ScanDisplay;
class SettingsStore;
class Sleeper;
class WatchList;
struct ScanWorker;

// Who drives the controller. The window leaves an early end on screen until "Force stop scan" and
// drops what the worker posts after Shutdown. The headless runner is unattended: sets completed
// and failures posted before Shutdown are still handled after it. One pass runs a single pass:
// at its end no countdown starts and Outcome() tells how it ended; a "finished" posted after
// Shutdown still counts.
enum class PassMode { kWindow, kHeadless, kOnePass };

// How the pass of a one-pass controller stands.
enum class PassOutcome { kUnderWay, kFinished, kEndedEarly, kNotStarted };

// Everything named here must outlive the controller; the sink must also outlive any worker, which
// the controller's destructor stops and joins.
struct ScanControllerSetup : ScanServices {
  ScanDisplay* display = nullptr;
  CountdownTimer* timer = nullptr;
  Sleeper* sleeper = nullptr;  // null: real sleeping
  // Starts the post-execution command's arguments; null: started for real, detached.
  ArgumentsStarter start_command;
  // Where every row's report of the last pass that ended normally is kept for
  // `quarrystream --status` (LastPassReportPath); empty: nowhere.
  std::string report_path{};
  PassMode mode = PassMode::kWindow;
  // Change notifications (ScanOnChange): the front end calls OnFolderChanges when the
  // watcher's descriptor is readable and OnChangeTimer when `change_timer` fires; it fires when
  // a changed row falls due. Either null: passes follow the countdown alone.
  FolderWatcher* watcher = nullptr;
  CountdownTimer* change_timer = nullptr;
  std::function<std::chrono::steady_clock::time_point()> clock{};  // null: the steady clock
};

class ScanController {
 public:
  explicit ScanController(ScanControllerSetup setup);
  // Shuts down: a worker still running is stopped and joined.
  ~ScanController();
  ScanController(const ScanController&) = delete;
  ScanController& operator=(const ScanController&) = delete;

  // Once the watch list is loaded: countdown = ReScan, countdown stopped, then StartScan, so the
  // first pass runs at once; the countdown text stays empty until the first tick.
  void Initialise();

  void StartScan();
  void StopScan();
  void OnCountdownTimer(int id);
  void OnScanFinished();
  void OnForceStartScan();
  void OnForceStopScan();
  void OnPauseButton();
  void OnScanRowProgress(std::int64_t row, std::int64_t percent);
  void OnScanFileProgress(std::int64_t percent);
  void OnSetComplete(std::unique_ptr<SetCompleteTexts> texts, std::string_view field_text);

  // Notes what the watcher reports. A row is due 2 s after its last change, 10 s after its
  // first at the latest; then, while the countdown runs, a pass of the changed folders starts
  // and the countdown is reloaded as Force start does. Changes met during a pass give one more
  // pass after it; while paused nothing starts.
  void OnFolderChanges();
  void OnChangeTimer();

  // Routes one message the worker posted to its handler; the post-execution text is read from
  // the display at that moment. Row reports and failures go to the display. Unknown ids are
  // dropped.
  void Dispatch(ScanMessage message);

  // The exit: stops the worker (resuming it first when paused) and the countdown, waiting at
  // most kExitStopLimit for the worker. Afterwards late messages and ticks are dropped (their
  // texts released) and nothing starts again.
  void Shutdown();

  // A worker exists, also while its stop is under way.
  bool HasWorker() const { return worker_ != nullptr; }
  // A stop has begun and WM_SCAN_STOPPED has not been dispatched yet.
  bool Stopping() const { return stopping_; }
  // The current control block, or null; for tests and diagnostics on the controller's thread.
  const ScanWorker* Worker() const { return worker_.get(); }
  bool IsPaused() const;
  std::int64_t Countdown() const { return countdown_; }
  bool CountdownRunning() const { return countdown_running_ != 0; }
  // The worker has left its pass but is not released yet ("Ended early" until Force stop).
  bool WorkerEnded() const;
  // The worker's pass has returned after an early end (a stop request or a failure) and no stop
  // is under way; nothing will reach the controller from it. Unattended front ends call
  // OnForceStopScan then.
  bool PassEndedEarly() const;
  // kUnderWay until a one-pass controller's pass is over.
  PassOutcome Outcome() const { return outcome_; }

 private:
  // What follows the stop under way once the worker has settled it.
  enum class AfterStop { kNothing, kPassFinished, kForceStopped };
  void BeginStop(AfterStop after);
  void FinishStop();
  void PassFinished(bool current);
  void ForceStopped();
  void StartCountdown();
  void StopCountdown();
  void SaveReports() const;
  void ResetProgress();
  std::int64_t ReScanSeconds() const;
  // Ends the pass of a one-pass controller (true) or starts the countdown to the next one.
  bool EndOnePass(PassOutcome outcome);
  // An empty scope: every included row, whole.
  void StartPass(PassScope scope);
  // Sets the watches up again when the watch list or ScanOnChange changed since the last time.
  void SyncWatches();
  // Says once that the kernel refused watches, with how many folders are watched and not.
  void SayWatchLimit();
  // The pass under way walks the changed folders only.
  bool ScopedPass() const { return !scope_.rows.empty(); }
  void ArmChangeTimer();
  bool CanStartOnChange() const;
  std::chrono::steady_clock::time_point Now() const;
  // Logged once; shown too when `show`.
  void Say(std::int64_t row, const std::string& text, bool show);

  ScanControllerSetup setup_;
  std::unique_ptr<ScanWorker> worker_;
  std::int64_t countdown_ = 0;
  int countdown_running_ = 0;
  bool stopping_ = false;
  AfterStop after_stop_ = AfterStop::kNothing;
  bool finished_while_stopping_ = false;  // the stopping worker's WM_SCAN_FINISHED came
  bool shut_down_ = false;
  PassOutcome outcome_ = PassOutcome::kUnderWay;
  std::map<std::int64_t, RowReport> reports_;  // of the pass under way, by row
  ChangeTrigger trigger_;
  PassScope scope_;           // the folders the pass under way walks; read by its worker
  bool watches_set_ = false;  // the watcher follows watched_rows_
  std::vector<WatchEntry> watched_rows_;  // the watch list as the watches were set up
  std::set<std::int64_t> network_rows_;   // rows whose source gets no notifications
  std::set<std::string> network_said_;    // sources told of already
  bool limit_said_ = false;
};

// Starts the post-execution command for `texts` as OnSetComplete does; a program that cannot be
// started is logged (when `log` is not null) and the failure text returned, else empty.
std::string StartPostExecution(std::unique_ptr<SetCompleteTexts> texts, std::string_view field_text,
                               const ArgumentsStarter& starter, const EventLog* log);

}  // namespace qs
