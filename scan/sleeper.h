// A seam for the one fixed wait of the worker's shutdown, so that tests step it without sleeping.
#pragma once

#include <chrono>

namespace qs {

class Sleeper {
 public:
  virtual ~Sleeper() = default;
  virtual void SleepFor(std::chrono::milliseconds duration) = 0;
};

// Sleeps for real. Stateless; usable from any thread.
Sleeper& RealSleeper();

}  // namespace qs
