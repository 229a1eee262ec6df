// The headless runner's wait: wake-ups from any thread, deadlines, and SIGINT and SIGTERM.
#include <pthread.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "platform/loop_wait.h"

namespace qs {
namespace {

using Clock = std::chrono::steady_clock;

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

}  // namespace
}  // namespace qs
