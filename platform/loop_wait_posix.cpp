#include "platform/loop_wait.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>

#include <climits>
#include <csignal>
#include <cstdint>

namespace qs {

LoopWait::LoopWait(bool watch_quit_signals) : wake_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (!watch_quit_signals) {
    return;
  }
  sigset_t quit;
  sigemptyset(&quit);
  sigaddset(&quit, SIGINT);
  sigaddset(&quit, SIGTERM);
  sigset_t previous;
  ::pthread_sigmask(SIG_BLOCK, &quit, &previous);
  signal_fd_.Reset(::signalfd(-1, &quit, SFD_CLOEXEC | SFD_NONBLOCK));
  if (!signal_fd_.Valid()) {
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  }
}

void LoopWait::Wake() {
  const std::uint64_t one = 1;
  // Fails only when the counter is full, and then a wake-up is already pending.
  [[maybe_unused]] const ssize_t written = ::write(wake_fd_.Get(), &one, sizeof one);
}

LoopWait::Result LoopWait::WaitUntil(std::chrono::steady_clock::time_point deadline, int fd) {
  pollfd fds[3] = {{wake_fd_.Get(), POLLIN, 0}, {signal_fd_.Get(), POLLIN, 0}, {fd, POLLIN, 0}};
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  const int timeout = left.count() <= 0        ? 0
                      : left.count() > INT_MAX ? INT_MAX
                                               : static_cast<int>(left.count());
  // Without its descriptor (the system had none to give) a wake-up is missed, and the wait
  // lasts to its deadline; a negative descriptor is skipped by poll.
  Result result;
  if (::poll(fds, 3, timeout) <= 0) {
    return result;  // the deadline, or a signal of another kind
  }
  if ((fds[0].revents & POLLIN) != 0) {
    std::uint64_t count = 0;
    result.woken = ::read(wake_fd_.Get(), &count, sizeof count) == sizeof count;
  }
  result.readable = (fds[2].revents & POLLIN) != 0;
  if ((fds[1].revents & POLLIN) != 0) {
    signalfd_siginfo info{};
    while (::read(signal_fd_.Get(), &info, sizeof info) == sizeof info) {
      result.quit_signal = true;
    }
  }
  return result;
}

}  // namespace qs
