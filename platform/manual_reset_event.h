// A manual-reset event: once set it stays set until reset, and wakes every waiter.
#pragma once

#include <atomic>
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
  // Written under the mutex; IsSet reads it without, as the worker asks at every listed entry
  // and every read block, from two threads at once.
  std::atomic<bool> set_{false};
};

}  // namespace qs
