// The thread primitives the scan worker and the runner stand on: priority, events, the loop's wait.
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>
#include <vector>

#include "platform/loop_wait.h"
#include "platform/manual_reset_event.h"
#include "platform/process_setup.h"

namespace qs {
namespace {

using Clock = std::chrono::steady_clock;

TEST(LowerCurrentThreadPriority, LowersOnlyTheCallingThread) {
  const int main_before = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
  int before = 0;
  int after = 0;
  long io_priority = -1;
  std::thread worker([&] {
    before = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
    LowerCurrentThreadPriority();
    after = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
    io_priority = ::syscall(SYS_ioprio_get, 1, static_cast<int>(::gettid()));
  });
  worker.join();
  EXPECT_EQ(after, std::min(before + 1, 19));
  EXPECT_EQ(::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid())), main_before);
  EXPECT_EQ(io_priority, (2 << 13) | 7);  // best-effort class (2) in the top bits, level 7
}

// On threads of their own, so that the signals stay blocked nowhere else.
TEST(LoopWait, EndsAtAWakeUpFromAnyThreadAtTheDeadlineOrAtSigintAndSigtermWhenAsked) {
  std::thread([] {
    LoopWait wait(false);
    wait.Wake();  // before the wait: kept for it
    wait.Wake();
    EXPECT_TRUE(wait.WaitUntil(Clock::now() + std::chrono::hours(1)).woken);
    // Both wake-ups were taken by that one wait.
    EXPECT_FALSE(wait.WaitUntil(Clock::now() - std::chrono::seconds(1)).woken);
    std::thread waker([&] { wait.Wake(); });
    EXPECT_TRUE(wait.WaitUntil(Clock::now() + std::chrono::hours(1)).woken);
    waker.join();
    sigset_t blocked;
    ::pthread_sigmask(SIG_BLOCK, nullptr, &blocked);
    EXPECT_FALSE(sigismember(&blocked, SIGTERM) || sigismember(&blocked, SIGINT));
  }).join();
  std::thread([] {
    LoopWait wait(true);
    for (const int signal : {SIGTERM, SIGINT}) {
      ASSERT_EQ(::pthread_kill(::pthread_self(), signal), 0);  // would end the test if not blocked
      const LoopWait::Result result = wait.WaitUntil(Clock::now() + std::chrono::hours(1));
      EXPECT_TRUE(result.quit_signal && !result.woken) << signal;
    }
  }).join();
}

TEST(ManualResetEvent, StaysSetUntilResetAndWakesEveryWaiter) {
  ManualResetEvent go;
  ManualResetEvent all_started;
  std::atomic<int> started{0};
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 4; ++i) {
    waiters.emplace_back([&, i] {
      if (++started == 4) {
        all_started.Set();
      }
      while (i % 2 == 0 ? (go.Wait(), false) : !go.WaitFor(std::chrono::hours(1))) {
      }
      ++woken;
    });
  }
  all_started.Wait();
  EXPECT_FALSE(go.WaitFor(std::chrono::milliseconds(0)));
  EXPECT_EQ(woken.load(), 0);
  go.Set();
  for (auto& waiter : waiters) {
    waiter.join();
  }
  EXPECT_EQ(woken.load(), 4);
  EXPECT_TRUE(go.IsSet() && go.WaitFor(std::chrono::milliseconds(0)));
  go.Reset();
  EXPECT_FALSE(go.IsSet() || go.WaitFor(std::chrono::milliseconds(0)));
}

}  // namespace
}  // namespace qs
