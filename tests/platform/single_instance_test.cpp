#include "platform/single_instance.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
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

// A sender waits until its message is handled, and one dropped without an answer is a failure.
TEST(InstanceChannel, SenderWaitsUntilTheMessageIsHandled) {
  test::TempDir dir;
  const std::string path = dir.Path("QuarrystreamWnd");
  EXPECT_EQ(SendToRunningInstance(path, "/ADDDIR:x"), SendResult::kNotFound);
  InstanceServer server;
  ASSERT_TRUE(server.Listen(path));
  std::string message;
  PendingReply reply;
  EXPECT_FALSE(server.AcceptOne(message, reply));  // nobody waits: returns at once
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

// One instance at a time, or two would hand off the same sets.
TEST(InstanceLock, OnlyOneHolderAtATime) {
  test::TempDir dir;
  InstanceLock lock(dir.Path("Quarrystream"));
  ASSERT_TRUE(lock.TryAcquire() && lock.TryAcquire());
  InstanceLock other(dir.Path("Quarrystream"));
  EXPECT_FALSE(other.TryAcquire());
  lock.Release();
  EXPECT_TRUE(other.TryAcquire());
  EXPECT_FALSE(InstanceLock(dir.Path("missing/Quarrystream")).TryAcquire());
}

}  // namespace
}  // namespace qs
