#include "platform/single_instance.h"

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/instance_channel.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

// A raw client, for senders that break the protocol.
int ConnectRaw(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  EXPECT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  return fd;
}

TEST(InstanceLockTest, OnlyOneHolderAtATime) {
  test::TempDir dir;
  InstanceLock first(dir.Path("Quarrystream"));
  InstanceLock second(dir.Path("Quarrystream"));
  EXPECT_TRUE(first.TryAcquire());
  EXPECT_TRUE(first.TryAcquire());
  EXPECT_TRUE(first.IsHeld());
  EXPECT_FALSE(second.TryAcquire());
  EXPECT_FALSE(second.IsHeld());
  first.Release();
  EXPECT_FALSE(first.IsHeld());
  EXPECT_TRUE(second.TryAcquire());
  EXPECT_FALSE(InstanceLock(dir.Path("missing/Quarrystream")).TryAcquire());
  EXPECT_FALSE(InstanceLock("").TryAcquire());
}

TEST(RuntimeDirectoryTest, PrefersXdgAndElseMakesAPrivateFolder) {
  test::TempDir dir;
  const char* old_runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved_runtime = old_runtime != nullptr ? old_runtime : "";
  ::setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  EXPECT_EQ(RuntimeDirectory(), dir.path());
  EXPECT_EQ(InstanceLockPath(), dir.Path("Quarrystream"));
  EXPECT_EQ(InstanceChannelPath(), dir.Path("QuarrystreamWnd"));

  ::setenv("TMPDIR", dir.path().c_str(), 1);
  const std::string expected = dir.Path("quarrystream-" + std::to_string(::getuid()));
  for (const char* unusable : {"", "relative", "/nonexistent/run"}) {
    ::setenv("XDG_RUNTIME_DIR", unusable, 1);
    EXPECT_EQ(RuntimeDirectory(), expected) << unusable;
  }
  ::unsetenv("XDG_RUNTIME_DIR");
  ASSERT_EQ(::chmod(expected.c_str(), 0755), 0);
  EXPECT_EQ(RuntimeDirectory(), expected);
  struct stat info {};
  ASSERT_EQ(::stat(expected.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  // Somebody else's name in the shared folder is never used.
  ASSERT_EQ(::rmdir(expected.c_str()), 0);
  ASSERT_EQ(::symlink(dir.path().c_str(), expected.c_str()), 0);
  EXPECT_EQ(RuntimeDirectory(), "");

  ::unsetenv("TMPDIR");
  if (old_runtime != nullptr) {
    ::setenv("XDG_RUNTIME_DIR", saved_runtime.c_str(), 1);
  }
}

TEST(InstanceChannelTest, RoundTripWaitsUntilTheMessageIsHandled) {
  test::TempDir dir;
  const std::string path = dir.Path("QuarrystreamWnd");
  EXPECT_EQ(SendToRunningInstance(path, "/ADDDIR:x"), SendResult::kNotFound);
  InstanceServer server;
  ASSERT_TRUE(server.Listen(path));
  EXPECT_GE(server.ListenFd(), 0);

  std::string nothing;
  PendingReply no_reply;
  EXPECT_FALSE(server.AcceptOne(nothing, no_reply));  // nobody waits: returns at once

  const std::string sent = R"(/ADDDIR:"/downloads/my \"new\" set/" 'x' $(y))";
  std::atomic<bool> returned{false};
  SendResult result = SendResult::kFailed;
  std::thread sender([&] {
    result = SendToRunningInstance(path, sent);
    returned = true;
  });
  std::string message;
  PendingReply reply;
  ASSERT_TRUE(server.ServeOne([&](const std::string& got) {
    message = got;
    // The sender cannot return before the answer, which comes after this handler.
    EXPECT_FALSE(returned.load());
  }));
  sender.join();
  EXPECT_EQ(result, SendResult::kHandled);
  EXPECT_EQ(message, sent);
}

TEST(InstanceChannelTest, AcceptOneHandsBackTheReplyToTheFrontEnd) {
  test::TempDir dir;
  const std::string path = dir.Path("QuarrystreamWnd");
  InstanceServer server;
  ASSERT_TRUE(server.Listen(path));
  for (const bool answer : {true, false}) {
    SendResult result = SendResult::kHandled;
    std::thread sender([&] { result = SendToRunningInstance(path, ""); });
    std::string message = "stale";
    PendingReply reply;
    pollfd ready{server.ListenFd(), POLLIN, 0};
    ASSERT_EQ(::poll(&ready, 1, -1), 1);
    ASSERT_TRUE(server.AcceptOne(message, reply));
    EXPECT_EQ(message, "");
    if (answer) {
      reply.Reply();
    } else {
      reply = PendingReply();  // dropped unanswered
    }
    sender.join();
    EXPECT_EQ(result, answer ? SendResult::kHandled : SendResult::kFailed);
  }
}

TEST(InstanceChannelTest, MalformedSendersAreDroppedAndServingGoesOn) {
  test::TempDir dir;
  const std::string path = dir.Path("QuarrystreamWnd");
  InstanceServer server;
  ASSERT_TRUE(server.Listen(path));
  // Too long a frame, then a frame cut short.
  const int oversize = ConnectRaw(path);
  const unsigned char huge[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  ASSERT_EQ(::send(oversize, huge, 4, 0), 4);
  const int cut = ConnectRaw(path);
  const unsigned char header[6] = {10, 0, 0, 0, 'a', 'b'};
  ASSERT_EQ(::send(cut, header, 6, 0), 6);
  ::shutdown(cut, SHUT_WR);
  std::string message;
  PendingReply reply;
  EXPECT_FALSE(server.AcceptOne(message, reply));
  EXPECT_FALSE(server.AcceptOne(message, reply));
  EXPECT_EQ(message, "");
  char answer = 0;
  EXPECT_EQ(::recv(oversize, &answer, 1, 0), 0);  // closed without an answer
  ::close(oversize);
  ::close(cut);
  EXPECT_EQ(SendToRunningInstance(path, std::string(kMaxInstanceMessage + 1, 'x')),
            SendResult::kFailed);

  std::thread sender([&] { EXPECT_EQ(SendToRunningInstance(path, "ok"), SendResult::kHandled); });
  ASSERT_TRUE(server.ServeOne([](const std::string& got) { EXPECT_EQ(got, "ok"); }));
  sender.join();
}

TEST(InstanceChannelTest, KilledInstanceNeverBlocksTheNextStart) {
  test::TempDir dir;
  const std::string lock_path = dir.Path("Quarrystream");
  const std::string socket_path = dir.Path("QuarrystreamWnd");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    // The running instance: holds the lock and listens until killed.
    InstanceLock lock(lock_path);
    InstanceServer server;
    const char state = lock.TryAcquire() && server.Listen(socket_path) ? 'r' : 'e';
    if (::write(ready[1], &state, 1) != 1) {
      ::_exit(1);
    }
    for (;;) {
      ::pause();
    }
  }
  ::close(ready[1]);
  char state = 0;
  ASSERT_EQ(::read(ready[0], &state, 1), 1);
  ::close(ready[0]);
  ASSERT_EQ(state, 'r');
  InstanceLock lock(lock_path);
  EXPECT_FALSE(lock.TryAcquire());

  ASSERT_EQ(::kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(test::Exists(socket_path));  // left behind
  EXPECT_EQ(SendToRunningInstance(socket_path, "/ADDDIR:x"), SendResult::kNotFound);

  ASSERT_TRUE(lock.TryAcquire());
  InstanceServer server;
  ASSERT_TRUE(server.Listen(socket_path));
  std::thread sender(
      [&] { EXPECT_EQ(SendToRunningInstance(socket_path, "second"), SendResult::kHandled); });
  ASSERT_TRUE(server.ServeOne([](const std::string& got) { EXPECT_EQ(got, "second"); }));
  sender.join();

  server.Close();
  EXPECT_FALSE(test::Exists(socket_path));
}

TEST(InstanceChannelTest, ClosingAnOldServerLeavesTheNewSocket) {
  test::TempDir dir;
  const std::string path = dir.Path("QuarrystreamWnd");
  InstanceServer old_server;
  ASSERT_TRUE(old_server.Listen(path));
  InstanceServer new_server;
  ASSERT_TRUE(new_server.Listen(path));
  old_server.Close();
  EXPECT_TRUE(test::Exists(path));
  std::thread sender([&] { EXPECT_EQ(SendToRunningInstance(path, "x"), SendResult::kHandled); });
  ASSERT_TRUE(new_server.ServeOne([](const std::string&) {}));
  sender.join();
}

}  // namespace
}  // namespace qs
