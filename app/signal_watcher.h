// Turns SIGINT and SIGTERM into a plain callback on a thread of its own, so that the runner can
// stop its worker and save like any other request instead of inside a signal handler.
#pragma once

#include <pthread.h>

#include <functional>
#include <thread>

namespace qs {

class SignalWatcher {
 public:
  // Blocks the signals in the calling thread, and so in every thread started after it: create
  // the watcher before any worker thread. `on_signal` runs on the watcher's thread.
  explicit SignalWatcher(std::function<void(int)> on_signal);
  ~SignalWatcher();
  SignalWatcher(const SignalWatcher&) = delete;
  SignalWatcher& operator=(const SignalWatcher&) = delete;

 private:
  std::function<void(int)> on_signal_;
  std::thread thread_;
};

}  // namespace qs
