#include "scan/scan_controller.h"

#include <algorithm>
#include <utility>

#include "config/settings_keys.h"
#include "config/watch_list.h"
#include "platform/command_line.h"
#include "platform/event_log.h"
#include "platform/file_system.h"
#include "platform/folder_watcher.h"
#include "scan/countdown_timer.h"
#include "scan/scan_display.h"
#include "scan/scan_worker.h"
#include "scan/sleeper.h"

namespace qs {
namespace {

constexpr std::string_view kStatusRunning = "Running";
constexpr std::string_view kStatusPaused = "Paused";
constexpr std::string_view kStatusIdle = "Idle";
constexpr std::string_view kNetworkNotice =
    "On a network or FUSE file system: files that arrive from elsewhere are found by the "
    "countdown's passes";

std::string CountdownText(std::int64_t seconds) {
  return std::to_string(seconds) + " s";
}

// What an unattended controller still does after Shutdown: a set completed just before the stop
// still starts its command and a failure is still told, as the window would before it closes.
bool LateMessageHandled(PassMode mode, std::uint32_t id) {
  return (mode != PassMode::kWindow && (id == WM_SCAN_SETCOMPLETE || id == WM_SCAN_FAILURE)) ||
         (mode == PassMode::kOnePass && id == WM_SCAN_FINISHED);
}

}  // namespace

std::string StartPostExecution(std::unique_ptr<SetCompleteTexts> texts, std::string_view field_text,
                               const ArgumentsStarter& starter, const EventLog* log) {
  SystemError started = kErrorSuccess;
  const std::vector<std::string> arguments =
      qs::OnSetComplete(std::move(texts), field_text, starter, &started);
  if (arguments.empty() || started == kErrorSuccess) {
    return {};
  }
  std::string failure = "The post-execution command " + arguments.front() +
                        " could not be started (" + StartFailureReason(arguments.front()) + ")";
  if (log != nullptr) {
    log->Append(failure);
  }
  return failure;
}

ScanController::ScanController(ScanControllerSetup setup) : setup_(std::move(setup)) {
  if (setup_.sleeper == nullptr) {
    setup_.sleeper = &RealSleeper();
  }
}

// Only the worker is stopped here: the display and the timer may be gone already.
ScanController::~ScanController() {
  if (worker_ != nullptr) {
    StopScanWorkerWithin(std::move(worker_), kExitStopLimit);
  }
}

void ScanController::Initialise() {
  countdown_ = ReScanSeconds();
  countdown_running_ = 0;
  StartScan();
}

void ScanController::StartScan() {
  StartPass({});
}

void ScanController::StartPass(PassScope scope) {
  if (worker_ != nullptr || shut_down_) {
    return;
  }
  scope_ = std::move(scope);
  if (!ScopedPass()) {
    reports_.clear();
    trigger_.Clear();  // this pass walks everything that changed so far
  }
  SyncWatches();
  ScanServices services = setup_;
  services.scope = ScopedPass() ? &scope_ : nullptr;
  worker_ = StartScanWorker(services);
  if (worker_ == nullptr) {
    // No thread could be made: stay idle and try again when the countdown runs out.
    setup_.display->SetStatusText(kStatusIdle);
    if (EndOnePass(PassOutcome::kNotStarted)) {
      setup_.display->ReportFailure(-1, "The scan worker could not be started");
    }
    return;
  }
  setup_.display->SetStatusText(kStatusRunning);
}

void ScanController::StopScan() {
  BeginStop(AfterStop::kNothing);
}

void ScanController::BeginStop(AfterStop after) {
  if (worker_ == nullptr || stopping_) {
    return;
  }
  stopping_ = true;
  after_stop_ = after;
  StopScanWorker(*worker_, *setup_.sleeper);
}

void ScanController::FinishStop() {
  if (worker_ != nullptr) {  // else an exit has released it
    ReleaseStoppedWorker(std::move(worker_));
  }
  stopping_ = false;
  setup_.display->SetFileProgress(0);
  setup_.display->SetStatusText(kStatusIdle);
  if (after_stop_ == AfterStop::kPassFinished) {
    PassFinished(true);
  } else if (after_stop_ == AfterStop::kForceStopped) {
    ForceStopped();
  }
  // As a WM_SCAN_FINISHED that comes after the release.
  if (std::exchange(finished_while_stopping_, false)) {
    PassFinished(false);
  }
}

void ScanController::OnCountdownTimer(int id) {
  if (id != kCountdownTimerId || shut_down_) {
    return;
  }
  SyncWatches();  // rows edited meanwhile, a ScanOnChange switched in the settings
  --countdown_;
  setup_.display->SetCountdownText(CountdownText(countdown_));
  if (countdown_ == 0) {
    countdown_ = ReScanSeconds();
    StopCountdown();
    StartScan();
  }
}

void ScanController::OnScanFinished() {
  // A late WM_SCAN_FINISHED of a worker released earlier must not end the one running now.
  if (worker_ != nullptr && !worker_->relay.FinishedPosted()) {
    return;
  }
  if (stopping_) {
    finished_while_stopping_ = true;  // the pass had ended before the stop reached it
  } else if (worker_ != nullptr) {
    BeginStop(AfterStop::kPassFinished);
  } else {
    // Only a one-pass controller hears of a pass after Shutdown: it is the pass it ran.
    PassFinished(shut_down_);
  }
}

void ScanController::PassFinished(bool current) {
  SaveReports();
  setup_.display->SetStatusText(kStatusIdle);
  if (current) {
    setup_.display->ShowPassFinished();
  }
  EndOnePass(PassOutcome::kFinished);
  ResetProgress();
}

void ScanController::OnForceStartScan() {
  StopCountdown();
  setup_.display->SetCountdownText(CountdownText(0));
  countdown_ = ReScanSeconds();
  StartScan();
}

// During a stop it only makes sure that the countdown follows the stop.
void ScanController::OnForceStopScan() {
  if (stopping_) {
    if (after_stop_ == AfterStop::kNothing) {
      after_stop_ = AfterStop::kForceStopped;
    }
  } else if (worker_ != nullptr) {
    BeginStop(AfterStop::kForceStopped);
  } else {
    ForceStopped();
  }
}

void ScanController::ForceStopped() {
  setup_.display->SetStatusText(kStatusIdle);
  EndOnePass(PassOutcome::kEndedEarly);
  ResetProgress();
}

void ScanController::OnPauseButton() {
  if (worker_ != nullptr) {
    const bool pause = worker_->bPaused != 1;
    if (stopping_) {
      // As for a pass that has ended, only the text toggles: a paused gate would keep the stop
      // from reaching the worker.
      worker_->bPaused = pause ? 1 : 0;
    } else if (pause) {
      PauseScanWorker(*worker_);
    } else {
      ResumeScanWorker(*worker_);
    }
    setup_.display->SetStatusText(pause ? kStatusPaused : kStatusRunning);
    return;
  }
  if (countdown_running_ != 1) {
    StartCountdown();
    setup_.display->SetCountdownText(CountdownText(countdown_));
  } else {
    StopCountdown();
    setup_.display->SetCountdownText(CountdownText(countdown_) + " [paused]");
  }
}

void ScanController::OnScanRowProgress(std::int64_t row, std::int64_t percent) {
  setup_.display->SetProgressPercent(row, kProgressColumn, percent);
}

void ScanController::OnScanFileProgress(std::int64_t percent) {
  setup_.display->SetFileProgress(percent);
}

void ScanController::OnSetComplete(std::unique_ptr<SetCompleteTexts> texts,
                                   std::string_view field_text) {
  if (texts != nullptr) {
    setup_.display->ShowSetComplete(texts->volume_text);
  }
  const std::string failure =
      StartPostExecution(std::move(texts), field_text, setup_.start_command, setup_.log);
  if (!failure.empty()) {
    setup_.display->ReportFailure(-1, failure);
  }
}

void ScanController::Dispatch(ScanMessage message) {
  if (shut_down_ && !LateMessageHandled(setup_.mode, message.id)) {
    return;
  }
  switch (message.id) {
    case WM_SCAN_ROWPROGRESS:
      OnScanRowProgress(message.wparam, message.lparam);
      break;
    case WM_SCAN_FINISHED:
      OnScanFinished();
      break;
    case WM_SCAN_SETCOMPLETE:
      OnSetComplete(std::move(message.texts), setup_.display->PostExecutionText());
      break;
    case WM_SCAN_FILEPROGRESS:
      OnScanFileProgress(message.lparam);
      break;
    case WM_SCAN_ROWREPORT:
      if (message.report != nullptr) {
        RowReport& kept = reports_[message.wparam];
        if (ScopedPass()) {
          MergeRowReport(kept, std::move(*message.report));
        } else {
          kept = std::move(*message.report);
        }
        if (network_rows_.count(message.wparam) != 0) {
          kept.notice += (kept.notice.empty() ? "" : "\n") + std::string(kNetworkNotice);
        }
        setup_.display->SetRowReport(message.wparam, kept);
      }
      break;
    case WM_SCAN_FAILURE:
      setup_.display->ReportFailure(message.wparam, message.text);
      break;
    case WM_SCAN_STOPPED:
      if (stopping_) {
        FinishStop();
      }
      break;
    default:
      break;
  }
}

// A stop under way ends here as its WM_SCAN_STOPPED would have ended it.
void ScanController::Shutdown() {
  if (worker_ != nullptr) {
    StopScanWorkerWithin(std::move(worker_), kExitStopLimit);
    if (stopping_) {
      FinishStop();
    } else {
      setup_.display->SetFileProgress(0);
      setup_.display->SetStatusText(kStatusIdle);
    }
  }
  StopCountdown();
  shut_down_ = true;
}

bool ScanController::IsPaused() const {
  return worker_ != nullptr && worker_->bPaused == 1;
}

bool ScanController::WorkerEnded() const {
  return worker_ != nullptr && worker_->hDoneEvent.IsSet();
}

bool ScanController::PassEndedEarly() const {
  return worker_ != nullptr && !stopping_ &&
         worker_->pass_result.load(std::memory_order_acquire) == 0;
}

void ScanController::StartCountdown() {
  setup_.timer->Start(kCountdownPeriod);
  countdown_running_ = 1;
  ArmChangeTimer();  // changes met during the pass or the pause may start one now
}

void ScanController::StopCountdown() {
  setup_.timer->Stop();
  countdown_running_ = 0;
  ArmChangeTimer();
}

void ScanController::OnFolderChanges() {
  if (setup_.watcher == nullptr) {
    return;
  }
  SyncWatches();
  std::vector<FolderChange> changes;
  setup_.watcher->ReadChanges(changes);  // read even when unused, or they pile up
  if (!watches_set_ || shut_down_) {
    return;
  }
  const auto now = Now();
  for (const FolderChange& change : changes) {
    trigger_.Note(change, now);
  }
  SayWatchLimit();  // a new folder may have met it
  ArmChangeTimer();
}

void ScanController::OnChangeTimer() {
  if (CanStartOnChange()) {
    PassScope scope = trigger_.TakeDue(Now());
    if (!scope.rows.empty()) {
      // As Force start: the countdown is reloaded and runs again after the pass.
      StopCountdown();
      setup_.display->SetCountdownText(CountdownText(0));
      countdown_ = ReScanSeconds();
      StartPass(std::move(scope));
    }
  }
  ArmChangeTimer();
}

bool ScanController::CanStartOnChange() const {
  return worker_ == nullptr && countdown_running_ == 1 && !shut_down_ &&
         setup_.mode != PassMode::kOnePass;
}

void ScanController::ArmChangeTimer() {
  if (setup_.change_timer == nullptr) {
    return;
  }
  const auto due = trigger_.NextDue();
  if (!due || !CanStartOnChange()) {
    setup_.change_timer->Stop();
    return;
  }
  const auto delay = std::chrono::ceil<std::chrono::milliseconds>(*due - Now());
  setup_.change_timer->Start(std::max(delay, std::chrono::milliseconds(0)));
}

void ScanController::SyncWatches() {
  if (setup_.watcher == nullptr || setup_.mode == PassMode::kOnePass) {
    return;
  }
  if (!IsOn(*setup_.settings, Setting::ScanOnChange)) {
    if (watches_set_) {
      setup_.watcher->Clear();
      watches_set_ = false;
      watched_rows_.clear();
    }
    trigger_.Clear();
    return;
  }
  std::vector<WatchEntry> rows = setup_.watch_list->Snapshot();
  if (!watches_set_ || rows != watched_rows_) {
    std::vector<WatchedTree> trees;
    std::vector<std::string> destinations;
    network_rows_.clear();
    for (std::size_t row = 0; row < rows.size(); ++row) {
      if (!rows[row].destination.empty()) {
        destinations.push_back(rows[row].destination);
      }
      if (rows[row].include != 1) {
        continue;
      }
      trees.push_back({row, rows[row].source});
      if (OnNetworkFileSystem(rows[row].source)) {
        network_rows_.insert(static_cast<std::int64_t>(row));
        if (network_said_.insert(rows[row].source).second) {
          // The window shows it in the row's report; the terminal prints it once.
          Say(static_cast<std::int64_t>(row), rows[row].source + ": " + std::string(kNetworkNotice),
              setup_.mode != PassMode::kWindow);
        }
      }
    }
    setup_.watcher->SetTrees(std::move(trees), std::move(destinations));
    watched_rows_ = std::move(rows);
    watches_set_ = true;
  }
  SayWatchLimit();
}

void ScanController::SayWatchLimit() {
  if (!limit_said_ && setup_.watcher->RefusedFolders() > 0) {
    limit_said_ = true;
    Say(static_cast<std::int64_t>(setup_.watcher->FirstRefusedRow()),
        "Change notifications: " + std::to_string(setup_.watcher->WatchedFolders()) +
            " folders watched, " + std::to_string(setup_.watcher->RefusedFolders()) +
            " not (the system's limit of inotify watches is reached); the countdown's passes "
            "cover them",
        true);
  }
}

void ScanController::Say(std::int64_t row, const std::string& text, bool show) {
  if (setup_.log != nullptr) {
    setup_.log->Append(text);
  }
  if (show) {
    setup_.display->ReportFailure(row, text);
  }
}

std::chrono::steady_clock::time_point ScanController::Now() const {
  return setup_.clock ? setup_.clock() : std::chrono::steady_clock::now();
}

void ScanController::ResetProgress() {
  const std::size_t rows = setup_.display->RowCount();
  for (std::size_t row = 0; row < rows; ++row) {
    setup_.display->SetProgressPercent(static_cast<std::int64_t>(row), kProgressColumn, 0);
  }
  setup_.display->SetFileProgress(0);
}

void ScanController::SaveReports() const {
  if (setup_.report_path.empty() || setup_.fs == nullptr) {
    return;
  }
  setup_.fs->WriteFileAtomically(setup_.report_path,
                                 FormatLastPass(setup_.watch_list->Snapshot(), reports_));
}

bool ScanController::EndOnePass(PassOutcome outcome) {
  if (setup_.mode != PassMode::kOnePass) {
    StartCountdown();
    return false;
  }
  if (outcome_ == PassOutcome::kUnderWay) {
    outcome_ = outcome;
  }
  return true;
}

std::int64_t ScanController::ReScanSeconds() const {
  return ReadInt(*setup_.settings, Setting::ReScan);
}

}  // namespace qs
