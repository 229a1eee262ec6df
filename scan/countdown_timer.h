// The one-second timer of the countdown to the next pass. The owner calls
// ScanController::OnCountdownTimer(kCountdownTimerId) on every tick, on the controller's thread.
#pragma once

#include <chrono>

namespace qs {

class CountdownTimer {
 public:
  virtual ~CountdownTimer() = default;
  // Starts the timer, restarting it (a full period from now) when it runs already.
  virtual void Start(std::chrono::milliseconds period) = 0;
  // Stops it; nothing when it is stopped. No tick is delivered after Stop returns.
  virtual void Stop() = 0;
};

inline constexpr int kCountdownTimerId = 2034;
inline constexpr std::chrono::milliseconds kCountdownPeriod{1000};

}  // namespace qs
