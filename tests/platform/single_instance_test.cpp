#include "platform/single_instance.h"

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <string>

#include "platform/instance_channel.h"
#include "tests/platform/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

// Sends from a second thread, as a later start would, while the test serves.
std::future<SendResult> Send(const std::string& path, const std::string& message) {
  return std::async(std::launch::async, [=] { return SendToRunningInstance(path, message); });
}

// As the front end's loop: waits until a sender is there, then takes its message.
bool Accept(InstanceServer& server, std::string& message, PendingReply& reply) {
  pollfd ready{server.ListenFd(), POLLIN, 0};
  return ::poll(&ready, 1, -1) == 1 && server.AcceptOne(message, reply);
}

TEST(RuntimeDirectory, PrefersXdgAndElseMakesAFolderOnlyTheUserCanEnter) {
  test::TempDir dir;
  test::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().c_str());
  test::ScopedEnv tmpdir("TMPDIR", dir.path().c_str());
  EXPECT_EQ(InstanceLockPath(), dir.Path("Quarrystream"));
  EXPECT_EQ(InstanceChannelPath(), dir.Path("QuarrystreamWnd"));
  const std::string fallback = dir.Path("quarrystream-" + std::to_string(::getuid()));
  for (const char* unusable : {"", "relative", "/nonexistent/run"}) {
    runtime.Set(unusable);
    EXPECT_EQ(RuntimeDirectory(), fallback) << unusable;
  }
  ASSERT_EQ(::chmod(fallback.c_str(), 0755), 0);
  EXPECT_EQ(RuntimeDirectory(), fallback);
  struct stat info {};
  ASSERT_EQ(::stat(fallback.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  // Somebody else's name in the shared folder is never used.
  ASSERT_EQ(::rmdir(fallback.c_str()), 0);
  ASSERT_EQ(::symlink(dir.path().c_str(), fallback.c_str()), 0);
  EXPECT_EQ(RuntimeDirectory(), "");
}

// Malformed senders are dropped and serving goes on; a sender waits until its message is
// handled, and one dropped without an answer is a failure.
TEST(InstanceChannel, SenderWaitsUntilTheMessageIsHandled) {
  test::TempDir dir;
  const std::string path = dir.Path("QuarrystreamWnd");
  EXPECT_EQ(SendToRunningInstance(path, "/ADDDIR:x"), SendResult::kNotFound);
  InstanceServer server;
  ASSERT_TRUE(server.Listen(path));
  std::string message;
  PendingReply reply;
  EXPECT_FALSE(server.AcceptOne(message, reply));  // nobody waits: returns at once
  int raw[2];
  const unsigned char frames[2][6] = {{0xFF, 0xFF, 0xFF, 0xFF}, {10, 0, 0, 0, 'a', 'b'}};
  for (int i = 0; i < 2; ++i) {  // too long a frame, then a frame cut short
    raw[i] = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{AF_UNIX, {}};
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::connect(raw[i], reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::send(raw[i], frames[i], i == 0 ? 4 : 6, 0), i == 0 ? 4 : 6);
  }
  ::shutdown(raw[1], SHUT_WR);
  EXPECT_FALSE(server.AcceptOne(message, reply));
  EXPECT_FALSE(server.AcceptOne(message, reply));
  EXPECT_EQ(message, "");
  char answer = 0;
  EXPECT_EQ(::recv(raw[0], &answer, 1, 0), 0);  // closed without an answer
  ::close(raw[0]);
  ::close(raw[1]);
  EXPECT_EQ(SendToRunningInstance(path, std::string(kMaxInstanceMessage + 1, 'x')),
            SendResult::kFailed);
  for (const std::string sent : {R"(/ADDDIR:"/downloads/my \"new\" set/" 'x' $(y))", ""}) {
    auto sender = Send(path, sent);
    message = "stale";
    ASSERT_TRUE(Accept(server, message, reply));
    EXPECT_EQ(message, sent);
    EXPECT_EQ(sender.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    sent.empty() ? void(reply = PendingReply()) : reply.Reply();
    EXPECT_EQ(sender.get(), sent.empty() ? SendResult::kFailed : SendResult::kHandled);
  }
}

TEST(InstanceLock, KilledInstanceLeavesNeitherLockNorSocketInTheWay) {
  test::TempDir dir;
  const std::string lock_path = dir.Path("Quarrystream");
  const std::string socket_path = dir.Path("QuarrystreamWnd");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  if (child == 0) {  // the running instance: holds the lock and listens until killed
    InstanceLock lock(lock_path);
    InstanceServer server;
    const char state = lock.TryAcquire() && server.Listen(socket_path) ? 'r' : 'e';
    if (::write(ready[1], &state, 1) == 1) {
      for (;;) {
        ::pause();
      }
    }
    ::_exit(1);
  }
  char state = 0;
  ASSERT_EQ(::read(ready[0], &state, 1), 1);
  ASSERT_EQ(state, 'r');
  InstanceLock lock(lock_path);
  EXPECT_FALSE(lock.TryAcquire());
  ASSERT_EQ(::kill(child, SIGKILL), 0);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  ASSERT_TRUE(test::Exists(socket_path));  // left behind
  EXPECT_EQ(SendToRunningInstance(socket_path, "/ADDDIR:x"), SendResult::kNotFound);
  ASSERT_TRUE(lock.TryAcquire() && lock.TryAcquire());
  InstanceLock other(lock_path);
  EXPECT_FALSE(other.TryAcquire());
  lock.Release();
  EXPECT_TRUE(other.TryAcquire());
  EXPECT_FALSE(InstanceLock(dir.Path("missing/Quarrystream")).TryAcquire());
  // A server that lost its socket to a newer one leaves the new socket when it closes.
  InstanceServer old_server;
  ASSERT_TRUE(old_server.Listen(socket_path));
  InstanceServer server;
  ASSERT_TRUE(server.Listen(socket_path));
  old_server.Close();
  EXPECT_TRUE(test::Exists(socket_path));
  server.Close();
  EXPECT_FALSE(test::Exists(socket_path));
  ::close(ready[0]);
  ::close(ready[1]);
}

}  // namespace
}  // namespace qs
