// Cooperative pause: the worker rests only at its stop checks and between read blocks, so it
// never holds a lock the window's thread needs while it rests.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace qs {

class PauseGate {
 public:
  void Pause();
  void Resume();
  bool IsPaused() const;
  // Worker thread: returns at once unless paused; otherwise waits until resumed. A paused worker
  // wakes only on Resume(), so whoever asks it to stop resumes the gate as well.
  void WaitWhilePaused() const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable resumed_;
  // Written under the mutex; read without it first, since the worker passes the gate at every
  // listed entry and every read block, from two threads at once.
  std::atomic<bool> paused_{false};
};

}  // namespace qs
