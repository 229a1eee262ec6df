// The countdown's one-second timer as a QTimer on the GUI thread.
#pragma once

#include <QTimer>
#include <functional>

#include "scan/countdown_timer.h"

namespace qs {

class QtCountdownTimer final : public CountdownTimer {
 public:
  // `on_tick` runs on the GUI thread for every tick.
  explicit QtCountdownTimer(std::function<void()> on_tick);

  void Start(std::chrono::milliseconds period) override;
  void Stop() override;

 private:
  QTimer timer_;
};

}  // namespace qs
