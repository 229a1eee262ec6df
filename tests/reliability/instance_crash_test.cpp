// The single-instance primitive after a running instance is killed: whatever it left (its lock
// file, its socket, a program it started that still runs), the next start becomes the running
// instance and can be reached.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "platform/command_line.h"
#include "platform/instance_channel.h"
#include "platform/single_instance.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

class InstanceCrashTest : public ::testing::Test {
 protected:
  // A child playing the running instance: it takes the lock, listens, writes 'r' (or 'e' when
  // it could not), runs `then`, and waits to be killed.
  test::ChildProcess Instance(const std::function<void()>& then = {}) {
    return test::ChildProcess([this, then] {
      InstanceLock lock(lock_path_);
      InstanceServer server;
      std::fputs(lock.TryAcquire() && server.Listen(socket_path_) ? "r" : "e", stdout);
      std::fflush(stdout);
      if (then) {
        then();
      }
      for (;;) {
        ::pause();
      }
      return 0;
    });
  }

  // What the next start does: take the lock, listen, and serve one sender.
  void ExpectTheNextStartTakesOver() {
    InstanceLock lock(lock_path_);
    ASSERT_TRUE(lock.TryAcquire());
    InstanceServer server;
    ASSERT_TRUE(server.Listen(socket_path_));
    std::thread sender(
        [&] { EXPECT_EQ(SendToRunningInstance(socket_path_, "/ADDDIR:x"), SendResult::kHandled); });
    EXPECT_TRUE(server.ServeOne([](const std::string& got) { EXPECT_EQ(got, "/ADDDIR:x"); }));
    sender.join();
  }

  test::TempDir dir_;
  const std::string lock_path_ = dir_.Path("Quarrystream");
  const std::string socket_path_ = dir_.Path("QuarrystreamWnd");
};

// The instance started a program (as it starts the companion) that outlives it: nothing of the
// lock or the socket went with it.
TEST_F(InstanceCrashTest, AProgramItStartedThatStillRunsHoldsNothing) {
  const std::string record = dir_.Path("record");
  ::setenv("QS_ARGV_RECORD", record.c_str(), 1);
  ::setenv("QS_ARGV_HOLD", "2000", 1);  // it records only after this long
  test::ChildProcess instance = Instance([] {
    std::fputs(StartArguments({QS_ARGV_RECORDER, "held"}) == kErrorSuccess ? "s" : "e", stdout);
    std::fflush(stdout);
  });
  ::unsetenv("QS_ARGV_HOLD");
  ::unsetenv("QS_ARGV_RECORD");
  ASSERT_EQ(instance.Read(1), "r");
  ASSERT_EQ(instance.Read(1), "s");
  instance.Kill();
  ASSERT_FALSE(test::Exists(record));  // the started program still runs
  ExpectTheNextStartTakesOver();
}

// Killed at any moment of its start: before, during or after taking the lock and listening.
TEST_F(InstanceCrashTest, KilledAtAnyMomentOfItsStartItNeverBlocksTheNext) {
  for (int round = 0; round < 20; ++round) {
    {
      test::ChildProcess instance = Instance();
      std::this_thread::sleep_for(std::chrono::microseconds(round * 150));
    }
    ExpectTheNextStartTakesOver();
  }
}

// What a killed instance left at the socket's path, whatever it is, is replaced.
TEST_F(InstanceCrashTest, ALeftoverThatIsNoSocketIsReplaced) {
  std::ofstream(lock_path_) << "not a lock of ours";
  std::ofstream(socket_path_) << "not a socket";
  ExpectTheNextStartTakesOver();
  ASSERT_EQ(::mkfifo(socket_path_.c_str(), 0600), 0);
  ExpectTheNextStartTakesOver();
}

}  // namespace
}  // namespace qs
