// The shared log: one line per event whatever the text holds, and rotation that loses no line.
#include "platform/event_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace qs {
namespace {

using test::ReadFile;
using test::TempDir;

std::size_t CountLines(const std::string& text, std::string_view needle) {
  std::size_t count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + 1)) {
    ++count;
  }
  return count;
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

TEST(EventLog, RotatesPastTheLimitWithoutLosingALine) {
  TempDir dir;
  const EventLog log(dir.Path("q.log"), "w");
  constexpr std::size_t kLines = 2800;
  const std::string payload(400, 'x');  // 2800 x ~440 bytes: about one rotation
  for (std::size_t i = 0; i < kLines; ++i) {
    log.Append(payload);
  }
  const std::string current = ReadFile(log.Path());
  const std::string older = ReadFile(log.Path() + ".1");
  EXPECT_FALSE(older.empty());
  EXPECT_LE(older.size(), kLogRotateBytes + 2 * payload.size());
  EXPECT_EQ(CountLines(current + older, payload + "\n"), kLines);
}

}  // namespace
}  // namespace qs
