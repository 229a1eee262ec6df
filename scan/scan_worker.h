// The control block of the one scan worker: a thread that runs one pass and ends, the events by
// which the window's thread asks it to stop and learns that it has left the pass, and the
// cooperative pause.
//
// Thread contract: StartScanWorker, PauseScanWorker, ResumeScanWorker, StopScanWorker and the
// releases are called on the window's thread only, which alone writes `bPaused`. The worker
// thread reads the rest, which does not change during its life, sets `hDoneEvent` when it leaves
// the pass, and never calls into the window: it only posts to `hWnd`. After its pass the thread
// waits for the stop request and settles the stop itself, so that the window's thread never
// waits for it. The worker runs below normal priority.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/manual_reset_event.h"
#include "scan/pause_gate.h"
#include "scan/scan_messages.h"
#include "scan/scan_pass.h"

namespace qs {

class CompletionActions;
class EventLog;
class FileSystem;
class Sleeper;
class SettingsStore;
class WatchList;

// Passes the worker's messages on to the window's sink and remembers whether this worker has
// posted WM_SCAN_FINISHED, so that a late message of an earlier worker is told apart.
class ScanWorkerRelay final : public ScanMessageSink {
 public:
  explicit ScanWorkerRelay(ScanMessageSink& target) : target_(target) {}
  void Post(ScanMessage message) override;
  bool FinishedPosted() const { return finished_posted_.load(std::memory_order_acquire); }

 private:
  ScanMessageSink& target_;
  std::atomic<bool> finished_posted_{false};
};

struct ScanWorker {
  explicit ScanWorker(const ScanServices& services);
  ScanWorker(const ScanWorker&) = delete;
  ScanWorker& operator=(const ScanWorker&) = delete;

  ScanMessageSink* hWnd = nullptr;
  std::thread pThread;
  ManualResetEvent hStopEvent;
  ManualResetEvent hDoneEvent;
  int bPaused = 0;
  const WatchList* pWatchList = nullptr;

  PauseGate pause;
  ScanWorkerRelay relay;
  // ScanThreadProc's result once it has returned (1 normal end, 0 early end); -1 before. Unlike
  // the done event, which the pass sets before it posts WM_SCAN_FINISHED, this tells an early
  // end apart at once.
  std::atomic<int> pass_result{-1};
  ScanPassContext context;
  // For a worker left behind: the thread, once done with the block, and StopScanWorkerWithin,
  // once it gives the block up, each set it; whichever comes second deletes the block.
  std::atomic<bool> handed_over{false};
  // Who finishes the stop: the thread with its grace (StopScanWorker) or an exit, which then
  // joins the thread or leaves it behind. Whoever claims it first; the other keeps out.
  enum Settler { kUnclaimed, kGrace, kExit };
  std::atomic<int> settler{kUnclaimed};
  Sleeper* grace_sleeper = nullptr;  // set before the stop event, read after it
};

// The last thing a worker thread does: sets the done event, waits for the stop request, then
// either waits out the grace and posts WM_SCAN_STOPPED to `hWnd`, or, when an exit has taken the
// stop over, deletes the block if the exit has left the worker behind. The thread touches
// nothing after it.
void EndWorkerThread(ScanWorker* block);

// Creates the control block and starts its thread, which lowers its own priority and runs one
// pass. Returns null when the thread cannot be created; nothing then waits for it.
std::unique_ptr<ScanWorker> StartScanWorker(const ScanServices& services);

// The worker comes to rest at its next stop check or between two read blocks, keeping its open
// files, and holds no lock the window's thread needs while it rests.
void PauseScanWorker(ScanWorker& worker);
void ResumeScanWorker(ScanWorker& worker);

// Sets the stop event (resuming a paused worker first, so that it can see the request) and
// returns at once. The worker thread then leaves its pass, waits 500 ms on `sleeper` and posts
// WM_SCAN_STOPPED as its last act; on that message the caller releases the block with
// ReleaseStoppedWorker. A stop reaches a running checksum between two read blocks: the checksum
// is dropped and its entry's status is not written.
void StopScanWorker(ScanWorker& worker, Sleeper& sleeper);

// Joins the thread, which has posted WM_SCAN_STOPPED and does nothing after it, and releases the
// block.
void ReleaseStoppedWorker(std::unique_ptr<ScanWorker> worker);

// For the exits, also while a stop is under way: waits at most `limit` for the worker to leave
// its pass, without the grace (a grace already begun is waited out). A worker that does not (a
// read stuck on a hung mount never returns) is left behind: its thread is detached and deletes
// the block when it ends, and false is returned. The worker then touches nothing of the
// caller's once its read returns, short of its release; WM_SCAN_STOPPED is not posted then.
bool StopScanWorkerWithin(std::unique_ptr<ScanWorker> worker, std::chrono::milliseconds limit);

// How long the exits wait for a worker before they leave it behind.
inline constexpr std::chrono::milliseconds kExitStopLimit{1000};

inline constexpr int kStopScanPauseMs = 500;

}  // namespace qs
