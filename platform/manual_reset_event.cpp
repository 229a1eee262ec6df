#include "platform/manual_reset_event.h"

namespace qs {

void ManualResetEvent::Set() {
  {
    std::lock_guard lock(mutex_);
    set_.store(true, std::memory_order_release);
  }
  changed_.notify_all();
}

void ManualResetEvent::Reset() {
  std::lock_guard lock(mutex_);
  set_.store(false, std::memory_order_release);
}

bool ManualResetEvent::IsSet() const {
  return set_.load(std::memory_order_acquire);
}

void ManualResetEvent::Wait() const {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return set_.load(std::memory_order_relaxed); });
}

bool ManualResetEvent::WaitFor(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [this] { return set_.load(std::memory_order_relaxed); });
}

}  // namespace qs
