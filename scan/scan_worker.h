// The control block of the one scan worker: a thread that runs one pass and ends, the events by
// which the window's thread asks it to stop and learns that it has left the pass, and the
// cooperative pause.
//
// Thread contract: StartScanWorker, PauseScanWorker, ResumeScanWorker and StopScanWorker are
// called on the window's thread only, which alone writes `bPaused`. The worker thread reads the
// rest, which does not change during its life, sets `hDoneEvent` when it leaves the pass, and
// never calls into the window: it only posts to `hWnd`. The worker runs below normal priority.
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
};

// The last thing a worker thread does: sets the done event, then deletes the block when an exit
// has left the worker behind. The thread touches nothing after it.
void EndWorkerThread(ScanWorker* block);

// Creates the control block and starts its thread, which lowers its own priority and runs one
// pass. Returns null when the thread cannot be created; nothing then waits for it.
std::unique_ptr<ScanWorker> StartScanWorker(const ScanServices& services);

// The worker comes to rest at its next stop check or between two read blocks, keeping its open
// files, and holds no lock the window's thread needs while it rests.
void PauseScanWorker(ScanWorker& worker);
void ResumeScanWorker(ScanWorker& worker);

// Sets the stop event (resuming a paused worker first, so that it can see the request), waits
// for the done event, waits 500 ms on `sleeper`, then until the thread has ended. Returns with
// the thread joined; the caller then releases the block. A stop reaches a running checksum
// between two read blocks: the checksum is dropped and its entry's status is not written.
void StopScanWorker(ScanWorker& worker, Sleeper& sleeper);

// For the exits: as StopScanWorker without the settling pause, but waits at most `limit` for the
// worker to leave its pass. A worker that does not (a read stuck on a hung mount never returns)
// is left behind: its thread is detached and deletes the block when it ends, and false is
// returned.
// The worker then touches nothing of the caller's once its read returns, short of its release.
bool StopScanWorkerWithin(std::unique_ptr<ScanWorker> worker, std::chrono::milliseconds limit);

// How long the exits wait for a worker before they leave it behind.
inline constexpr std::chrono::milliseconds kExitStopLimit{1000};

inline constexpr int kStopScanPauseMs = 500;

}  // namespace qs
