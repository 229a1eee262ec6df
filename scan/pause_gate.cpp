#include "scan/pause_gate.h"

namespace qs {

void PauseGate::Pause() {
  std::lock_guard lock(mutex_);
  paused_.store(true, std::memory_order_release);
}

void PauseGate::Resume() {
  {
    std::lock_guard lock(mutex_);
    paused_.store(false, std::memory_order_release);
  }
  resumed_.notify_all();
}

bool PauseGate::IsPaused() const {
  return paused_.load(std::memory_order_acquire);
}

void PauseGate::WaitWhilePaused() const {
  if (!paused_.load(std::memory_order_acquire)) {
    return;
  }
  std::unique_lock lock(mutex_);
  resumed_.wait(lock, [this] { return !paused_.load(std::memory_order_relaxed); });
}

}  // namespace qs
