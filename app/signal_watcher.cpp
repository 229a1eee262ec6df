#include "app/signal_watcher.h"

#include <csignal>

namespace qs {

namespace {

// Sent by the destructor to end the watcher's own wait.
constexpr int kStopSignal = SIGUSR2;

sigset_t WatchedSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, kStopSignal);
  return set;
}

}  // namespace

SignalWatcher::SignalWatcher(std::function<void(int)> on_signal)
    : on_signal_(std::move(on_signal)) {
  const sigset_t set = WatchedSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  thread_ = std::thread([this, set] {
    for (;;) {
      int signal = 0;
      if (sigwait(&set, &signal) != 0 || signal == kStopSignal)
        return;
      on_signal_(signal);
    }
  });
}

SignalWatcher::~SignalWatcher() {
  pthread_kill(thread_.native_handle(), kStopSignal);
  thread_.join();
}

}  // namespace qs
