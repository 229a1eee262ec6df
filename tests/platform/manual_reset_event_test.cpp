#include "platform/manual_reset_event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace qs {
namespace {

TEST(ManualResetEventTest, StaysSetUntilReset) {
  ManualResetEvent event;
  EXPECT_FALSE(event.IsSet());
  EXPECT_FALSE(event.WaitFor(std::chrono::milliseconds(0)));
  event.Set();
  event.Set();
  EXPECT_TRUE(event.IsSet());
  event.Wait();
  EXPECT_TRUE(event.WaitFor(std::chrono::milliseconds(0)));
  EXPECT_TRUE(event.IsSet());
  event.Reset();
  EXPECT_FALSE(event.IsSet());
  EXPECT_FALSE(event.WaitFor(std::chrono::milliseconds(0)));
}

TEST(ManualResetEventTest, SetWakesEveryWaiter) {
  ManualResetEvent go;
  ManualResetEvent all_started;
  std::atomic<int> started{0};
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 4; ++i) {
    waiters.emplace_back([&] {
      if (++started == 4) {
        all_started.Set();
      }
      if (i % 2 == 0) {
        go.Wait();
      } else {
        while (!go.WaitFor(std::chrono::hours(1))) {
        }
      }
      ++woken;
    });
  }
  all_started.Wait();
  EXPECT_EQ(woken.load(), 0);
  go.Set();
  for (auto& waiter : waiters) {
    waiter.join();
  }
  EXPECT_EQ(woken.load(), 4);
}

}  // namespace
}  // namespace qs
