#include "scan/scan_controller.h"

#include <utility>

#include "config/settings_keys.h"
#include "config/watch_list.h"
#include "platform/command_line.h"
#include "platform/event_log.h"
#include "platform/file_system.h"
#include "scan/countdown_timer.h"
#include "scan/scan_display.h"
#include "scan/scan_worker.h"
#include "scan/sleeper.h"

namespace qs {
namespace {

constexpr std::string_view kStatusRunning = "Running";
constexpr std::string_view kStatusPaused = "Paused";
constexpr std::string_view kStatusIdle = "Idle";

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
  if (worker_ != nullptr || shut_down_) {
    return;
  }
  reports_.clear();
  worker_ = StartScanWorker(setup_);
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
        setup_.display->SetRowReport(message.wparam, *message.report);
        reports_[message.wparam] = std::move(*message.report);
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
}

void ScanController::StopCountdown() {
  setup_.timer->Stop();
  countdown_running_ = 0;
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
