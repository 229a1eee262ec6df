#include "app/qt_countdown_timer.h"

namespace qs {

QtCountdownTimer::QtCountdownTimer(std::function<void()> on_tick) {
  timer_.setTimerType(Qt::CoarseTimer);
  QObject::connect(&timer_, &QTimer::timeout, [tick = std::move(on_tick)] { tick(); });
}

void QtCountdownTimer::Start(std::chrono::milliseconds period) {
  timer_.start(period);  // restarts a running timer with a full period
}

// A stopped QTimer delivers no further timeout, not even one already due.
void QtCountdownTimer::Stop() {
  timer_.stop();
}

}  // namespace qs
