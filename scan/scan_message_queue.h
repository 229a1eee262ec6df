// A thread-safe queue of the worker's messages: the worker posts, the front end's thread takes
// them in the order they were posted and hands each to ScanController::Dispatch. The headless
// runner and the tests use it as their sink; the desktop program may use it or its own.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "scan/scan_messages.h"

namespace qs {

class ScanMessageQueue final : public ScanMessageSink {
 public:
  // Any thread. Queues the message, then calls the wake-up hook (outside the lock) when the
  // queue was empty; never waits for the receiving thread. A woken receiver must drain the queue
  // until TryTake fails, or later messages may wait for the next wake-up.
  void Post(ScanMessage message) override;

  // Receiving thread. TryTake returns false at once when the queue is empty; Take waits until a
  // message arrives.
  bool TryTake(ScanMessage& message);
  ScanMessage Take();
  bool Empty() const;

  // Called after every Post, on the posting thread (for instance to nudge an event loop). Set it
  // before any worker runs; it must not block and must not call back into the queue's owner.
  void SetWakeUp(std::function<void()> wake_up);

 private:
  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<ScanMessage> messages_;
  std::function<void()> wake_up_;
};

}  // namespace qs
