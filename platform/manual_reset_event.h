// A manual-reset event: once set it stays set until reset, and wakes every waiter.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace qs {

class ManualResetEvent {
 public:
  void Set();
  void Reset();
  bool IsSet() const;
  void Wait() const;
  // Returns whether the event was set within `timeout`.
  bool WaitFor(std::chrono::milliseconds timeout) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool set_ = false;
};

}  // namespace qs
