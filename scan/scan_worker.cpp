#include "scan/scan_worker.h"

#include <system_error>
#include <utility>

#include "platform/prefault.h"
#include "platform/process_setup.h"
#include "scan/sleeper.h"

namespace qs {

namespace {

// About what a pass over a set of a few thousand volumes allocates: its listings, the SFV
// entries and the state file's text.
constexpr std::size_t kWorkerHeapPrefault = 1 << 20;

}  // namespace

void ScanWorkerRelay::Post(ScanMessage message) {
  // Marked before it is queued, so the window's thread sees the mark once it takes the message.
  if (message.id == WM_SCAN_FINISHED) {
    finished_posted_.store(true, std::memory_order_release);
  }
  target_.Post(std::move(message));
}

// The block keeps its own copy of the services: a worker left behind by an exit outlives the
// controller that started it.
ScanWorker::ScanWorker(const ScanServices& services)
    : hWnd(services.sink),
      pWatchList(services.watch_list),
      relay(*services.sink),
      context{services, &hStopEvent, &hDoneEvent, &pause} {
  context.sink = &relay;
}

void EndWorkerThread(ScanWorker* block) {
  // The pass sets it on every way out; setting it once more keeps a stop from waiting for ever
  // should a way out ever miss it.
  block->hDoneEvent.Set();
  // Every worker is stopped in the end: after its pass, on "Force stop scan" or at the exit.
  block->hStopEvent.Wait();
  int unclaimed = ScanWorker::kUnclaimed;
  if (block->settler.compare_exchange_strong(unclaimed, ScanWorker::kGrace)) {
    block->grace_sleeper->SleepFor(std::chrono::milliseconds(kStopScanPauseMs));
    ScanMessage stopped;
    stopped.id = WM_SCAN_STOPPED;
    block->hWnd->Post(std::move(stopped));
    return;  // the window's thread joins and releases once it has the message
  }
  if (block->handed_over.exchange(true)) {
    delete block;  // left behind by an exit, which has given the block up
  }
}

std::unique_ptr<ScanWorker> StartScanWorker(const ScanServices& services) {
  auto worker = std::make_unique<ScanWorker>(services);
  ScanWorker* block = worker.get();
  try {
    worker->pThread = std::thread([block] {
      LowerCurrentThreadPriority();
      PrefaultThreadHeap(kWorkerHeapPrefault);
      block->pass_result.store(static_cast<int>(ScanThreadProc(block->context)),
                               std::memory_order_release);
      EndWorkerThread(block);
    });
  } catch (const std::system_error&) {
    return nullptr;
  }
  return worker;
}

void PauseScanWorker(ScanWorker& worker) {
  worker.pause.Pause();
  worker.bPaused = 1;
}

void ResumeScanWorker(ScanWorker& worker) {
  worker.pause.Resume();
  worker.bPaused = 0;
}

void StopScanWorker(ScanWorker& worker, Sleeper& sleeper) {
  worker.grace_sleeper = &sleeper;
  worker.hStopEvent.Set();
  if (worker.bPaused == 1) {
    ResumeScanWorker(worker);
  }
}

void ReleaseStoppedWorker(std::unique_ptr<ScanWorker> worker) {
  worker->pThread.join();
}

bool StopScanWorkerWithin(std::unique_ptr<ScanWorker> worker, std::chrono::milliseconds limit) {
  int unclaimed = ScanWorker::kUnclaimed;
  const bool claimed = worker->settler.compare_exchange_strong(unclaimed, ScanWorker::kExit);
  worker->hStopEvent.Set();
  if (worker->bPaused == 1) {
    ResumeScanWorker(*worker);
  }
  if (!worker->pThread.joinable()) {
    return true;
  }
  // Unclaimed, the thread ends right after the done event, so the join that follows is short;
  // in its grace it ends after at most that pause.
  if (!claimed || worker->hDoneEvent.WaitFor(limit)) {
    worker->pThread.join();
    return true;
  }
  // Left behind: the block stays allocated for the thread, which still uses it.
  worker->pThread.detach();
  ScanWorker* left_behind = worker.release();
  if (left_behind->handed_over.exchange(true)) {
    delete left_behind;  // the thread has ended meanwhile
  }
  return false;
}

}  // namespace qs
