// What a program's main loop waits on: a wake-up from any thread, a deadline and, when asked
// for, SIGINT or SIGTERM. The signals arrive as events of the loop, not in a handler, and no
// thread of their own has to be started or, slower still, woken to end.
#pragma once

#include <chrono>

#include "platform/unique_fd.h"

namespace qs {

class LoopWait {
 public:
  struct Result {
    bool woken = false;        // Wake() was called since the last wait
    bool quit_signal = false;  // SIGINT or SIGTERM arrived
    bool readable = false;     // the descriptor given to WaitUntil has something to read
  };

  // With `watch_quit_signals`, blocks SIGINT and SIGTERM in the calling thread and so in every
  // thread started after it: create it before any other thread. Should they not be readable as
  // events, they are left unblocked and end the program as usual.
  explicit LoopWait(bool watch_quit_signals);
  LoopWait(const LoopWait&) = delete;
  LoopWait& operator=(const LoopWait&) = delete;

  // Any thread. A wake-up before the wait ends the next wait at once.
  void Wake();
  // Waits until woken, a quit signal, `deadline` or, when it is not negative, `fd` readable.
  Result WaitUntil(std::chrono::steady_clock::time_point deadline, int fd = -1);

 private:
  UniqueFd wake_fd_;
  UniqueFd signal_fd_;
};

}  // namespace qs
