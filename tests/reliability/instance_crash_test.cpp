// The single-instance primitive after a running instance is killed: whatever it left (its lock
// file, its socket, a program it started that still runs), the next start becomes the running
// instance and can be reached.
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include "platform/command_line.h"
#include "platform/instance_channel.h"
#include "platform/single_instance.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

// A child process playing the running instance: it takes the lock, listens, runs `then` with
// its server and the pipe it reports its steps on, then waits to be killed.
class InstanceChild {
 public:
  using Then = std::function<void(InstanceServer& server, int report)>;

  InstanceChild(const std::string& lock_path, const std::string& socket_path,
                const Then& then = {}) {
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0) {
      return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(pipe_fds[0]);
      InstanceLock lock(lock_path);
      InstanceServer server;
      const char state = lock.TryAcquire() && server.Listen(socket_path) ? 'r' : 'e';
      if (::write(pipe_fds[1], &state, 1) != 1) {
        ::_exit(1);
      }
      if (then) {
        then(server, pipe_fds[1]);
      }
      for (;;) {
        ::pause();
      }
    }
    ::close(pipe_fds[1]);
    report_ = pipe_fds[0];
  }
  ~InstanceChild() {
    Kill();
    if (report_ >= 0) {
      ::close(report_);
    }
  }
  InstanceChild(const InstanceChild&) = delete;
  InstanceChild& operator=(const InstanceChild&) = delete;

  // The next step the child reported; 0 when it ended without one.
  char NextReport() {
    char step = 0;
    return ::read(report_, &step, 1) == 1 ? step : 0;
  }
  void Kill() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }

 private:
  pid_t pid_ = -1;
  int report_ = -1;
};

// What the next start does: take the lock, listen, and serve one sender.
void ExpectTheNextStartTakesOver(const std::string& lock_path, const std::string& socket_path) {
  InstanceLock lock(lock_path);
  ASSERT_TRUE(lock.TryAcquire());
  InstanceServer server;
  ASSERT_TRUE(server.Listen(socket_path));
  std::thread sender(
      [&] { EXPECT_EQ(SendToRunningInstance(socket_path, "/ADDDIR:x"), SendResult::kHandled); });
  EXPECT_TRUE(server.ServeOne([](const std::string& got) { EXPECT_EQ(got, "/ADDDIR:x"); }));
  sender.join();
}

class InstanceCrashTest : public ::testing::Test {
 protected:
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
  InstanceChild instance(lock_path_, socket_path_, [](InstanceServer&, int report) {
    const char started = StartArguments({QS_ARGV_RECORDER, "held"}) == kErrorSuccess ? 's' : 'e';
    (void)!::write(report, &started, 1);
  });
  ::unsetenv("QS_ARGV_HOLD");
  ::unsetenv("QS_ARGV_RECORD");
  ASSERT_EQ(instance.NextReport(), 'r');
  ASSERT_EQ(instance.NextReport(), 's');
  instance.Kill();
  ASSERT_FALSE(test::Exists(record));  // the started program still runs
  ExpectTheNextStartTakesOver(lock_path_, socket_path_);
}

// Killed at any moment of its start: before, during or after taking the lock and listening.
TEST_F(InstanceCrashTest, KilledAtAnyMomentOfItsStartItNeverBlocksTheNext) {
  for (int round = 0; round < 20; ++round) {
    {
      InstanceChild instance(lock_path_, socket_path_);
      std::this_thread::sleep_for(std::chrono::microseconds(round * 150));
      instance.Kill();
    }
    ExpectTheNextStartTakesOver(lock_path_, socket_path_);
  }
}

// What a killed instance left at the socket's path, whatever it is, is replaced.
TEST_F(InstanceCrashTest, ALeftoverThatIsNoSocketIsReplaced) {
  std::ofstream(lock_path_) << "not a lock of ours";
  std::ofstream(socket_path_) << "not a socket";
  ExpectTheNextStartTakesOver(lock_path_, socket_path_);
  ASSERT_EQ(::mkfifo(socket_path_.c_str(), 0600), 0);
  ExpectTheNextStartTakesOver(lock_path_, socket_path_);
}

}  // namespace
}  // namespace qs
