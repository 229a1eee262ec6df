#include "scan/pause_gate.h"

namespace qs {

void PauseGate::Pause() {
  std::lock_guard lock(mutex_);
  paused_ = true;
}

void PauseGate::Resume() {
  {
    std::lock_guard lock(mutex_);
    paused_ = false;
  }
  resumed_.notify_all();
}

bool PauseGate::IsPaused() const {
  std::lock_guard lock(mutex_);
  return paused_;
}

void PauseGate::WaitWhilePaused() const {
  std::unique_lock lock(mutex_);
  resumed_.wait(lock, [this] { return !paused_; });
}

}  // namespace qs
