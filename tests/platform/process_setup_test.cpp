#include "platform/process_setup.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

namespace qs {
namespace {

int NiceOf(pid_t tid) {
  return ::getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
}

TEST(ProcessSetupTest, LowersOnlyTheCallingThread) {
  const pid_t main_tid = ::gettid();
  const int main_before = NiceOf(main_tid);
  int before = 0;
  int after = 0;
  long io_priority = -1;
  std::thread worker([&] {
    before = NiceOf(::gettid());
    LowerCurrentThreadPriority();
    after = NiceOf(::gettid());
    io_priority = ::syscall(SYS_ioprio_get, 1, static_cast<int>(::gettid()));
  });
  worker.join();
  EXPECT_EQ(after, std::min(before + 1, 19));
  EXPECT_EQ(NiceOf(main_tid), main_before);
  // Best-effort class (2) in the top bits, level 7.
  EXPECT_EQ(io_priority, (2 << 13) | 7);
}

TEST(ProcessSetupTest, LeaseSignalNoLongerKills) {
  IgnoreLeaseSignals();
  ASSERT_EQ(::raise(SIGIO), 0);
  struct sigaction current {};
  ASSERT_EQ(::sigaction(SIGIO, nullptr, &current), 0);
  EXPECT_EQ(current.sa_handler, SIG_IGN);
}

}  // namespace
}  // namespace qs
