// The shared log: one line per event whatever the text holds, and rotation that loses no line
// when several processes write at once.
#include "platform/event_log.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/platform/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

using test::ReadFile;
using test::ScopedEnv;
using test::TempDir;

std::size_t CountLines(const std::string& text, std::string_view needle) {
  std::size_t count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

TEST(EventLog, PathFromTheVariableThenTheStateFolder) {
  ScopedEnv log(kLogEnvironmentVariable, "/given/x.log");
  ScopedEnv state("XDG_STATE_HOME", "/xdg/state");
  ScopedEnv home("HOME", "/home/someone");
  EXPECT_EQ(DefaultLogPath(), "/given/x.log");
  log.Set("relative.log");
  EXPECT_EQ(DefaultLogPath(), "/xdg/state/Quarrystream/quarrystream.log");
  state.Set("relative");
  EXPECT_EQ(DefaultLogPath(), "/home/someone/.local/state/Quarrystream/quarrystream.log");
}

TEST(EventLog, EachEventIsOneLineNamingItsWriter) {
  TempDir dir;
  const EventLog log(dir.Path("sub/folder/q.log"), "mirrowen");
  ASSERT_TRUE(log.Append("set a\nfake line\r\x1b[2Jend"));
  const std::string text = ReadFile(log.Path());
  EXPECT_EQ(CountLines(text, "\n"), 1u);
  EXPECT_NE(text.find(" mirrowen[" + std::to_string(::getpid()) + "]: set a fake line  [2Jend\n"),
            std::string::npos)
      << text;
  EXPECT_FALSE(EventLog("", "x").Append("nowhere"));
}

TEST(EventLog, RotatesPastTheLimitWithoutLosingLinesOfConcurrentWriters) {
  TempDir dir;
  const std::string path = dir.Path("q.log");
  constexpr int kWriters = 4;
  constexpr int kLinesEach = 700;
  const std::string payload(400, 'x');  // 4 x 700 x ~450 bytes: about one rotation
  for (int w = 0; w < kWriters; ++w) {
    if (::fork() == 0) {
      const EventLog log(path, "w" + std::to_string(w));
      for (int i = 0; i < kLinesEach; ++i) {
        log.Append(payload);
      }
      ::_exit(0);
    }
  }
  for (int w = 0; w < kWriters; ++w) {
    int status = 0;
    ::wait(&status);
  }
  const std::string current = ReadFile(path);
  const std::string older = ReadFile(path + ".1");
  EXPECT_FALSE(older.empty());
  EXPECT_LE(older.size(), kLogRotateBytes + 2 * payload.size());
  EXPECT_EQ(CountLines(current + older, payload + "\n"), std::size_t{kWriters * kLinesEach});
}

}  // namespace
}  // namespace qs
