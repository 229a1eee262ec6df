// Cooperative pause: the worker rests only at its stop checks and between read blocks, so it
// never holds a lock the window's thread needs while it rests.
#pragma once

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
  bool paused_ = false;
};

}  // namespace qs
