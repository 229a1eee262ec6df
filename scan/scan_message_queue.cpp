#include "scan/scan_message_queue.h"

#include <utility>

namespace qs {

void ScanMessageQueue::Post(ScanMessage message) {
  std::function<void()> wake_up;
  {
    std::lock_guard lock(mutex_);
    // The receiver drains the whole queue when woken, so only the first message after a drain
    // needs to wake it: a burst of progress messages costs one wake-up, not one each.
    if (messages_.empty()) {
      wake_up = wake_up_;
    }
    messages_.push_back(std::move(message));
  }
  posted_.notify_all();
  if (wake_up) {
    wake_up();
  }
}

bool ScanMessageQueue::TryTake(ScanMessage& message) {
  std::lock_guard lock(mutex_);
  if (messages_.empty()) {
    return false;
  }
  message = std::move(messages_.front());
  messages_.pop_front();
  return true;
}

ScanMessage ScanMessageQueue::Take() {
  std::unique_lock lock(mutex_);
  posted_.wait(lock, [this] { return !messages_.empty(); });
  ScanMessage message = std::move(messages_.front());
  messages_.pop_front();
  return message;
}

bool ScanMessageQueue::Empty() const {
  std::lock_guard lock(mutex_);
  return messages_.empty();
}

void ScanMessageQueue::SetWakeUp(std::function<void()> wake_up) {
  std::lock_guard lock(mutex_);
  wake_up_ = std::move(wake_up);
}

}  // namespace qs
