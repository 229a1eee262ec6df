#include "config/dirs_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "config/watch_list.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

using Entries = std::vector<WatchEntry>;

Entries Load(const std::string& text) {
  test::TempDir dir;
  WatchList list;
  LoadDirs(RealFileSystem(), dir.WriteFile("dirs.cfg", text), list);
  return list.Snapshot();
}

TEST(LoadDirs, YieldsCompleteRecordsVerbatim) {
  const std::string too_long(kMaxStoredPathLength + 1, 'x');
  const std::string longest(kMaxStoredPathLength, 'y');
  const std::pair<std::string, Entries> cases[] = {
      {"1\r\n/in\r\n/out\r\n0\n/b\n/c", {{"/in", "/out", 1}, {"/b", "/c", 0}}},
      {"1\r\n/in\r\n/out\r\n0\r\n", {{"/in", "/out", 1}}},  // a stray fourth line is dropped
      {"  1  \r\n  /my dir  \r\n\t/out\t\r\n", {{"  /my dir  ", "\t/out\t", 1}}},
      {"1\r\n\r\n\r\n", {{"", "", 1}}},
      // A path that could never be written back drops its record; the next stays aligned.
      {"1\n/a\rb\n/c\n1\n/d\n/e\n", {{"/d", "/e", 1}}},
      {"1\r\n" + too_long + "\r\n/out\r\n1\r\n" + longest + "\r\n/out\r\n0\r\n/in\r\n" + too_long +
           "\r\n1\r\n/next\r\n/dest\r\n",
       {{longest, "/out", 1}, {"/next", "/dest", 1}}},
      // The include flag is read as atoi reads it, clamped to 32 bits.
      {" \t\v\f-5x\n/a\n/b\n0x10\n/c\n/d\n+7\n/e\n/f\n",
       {{"/a", "/b", -5}, {"/c", "/d", 0}, {"/e", "/f", 7}}},
      {" + 5\n/a\n/b\n2147483648\n/c\n/d\n-2147483649\n/e\n/f\n",
       {{"/a", "/b", 0}, {"/c", "/d", INT32_MAX}, {"/e", "/f", INT32_MIN}}},
      {"99999999999999999999999\n/a\n/b\n", {{"/a", "/b", INT32_MAX}}}};
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(Load(text), expected) << '"' << text << '"';
  }
}

// Each entry as three CR LF lines; a line break in a path would shift every later record and an
// over-long path would be dropped on reading, so a list holding one is not written at all.
TEST(SaveDirs, RewritesWhatWasReadAsThreeCrLfLinesPerEntryOrNothing) {
  test::TempDir dir;
  const std::string path = dir.WriteFile("dirs.cfg", "on\n /in \n/out\n2\n/b\n/c\n9\n");
  WatchList list;
  LoadDirs(RealFileSystem(), path, list);
  ASSERT_TRUE(SaveDirs(RealFileSystem(), path, list));
  const std::string saved = "0\r\n /in \r\n/out\r\n2\r\n/b\r\n/c\r\n";
  EXPECT_EQ(test::ReadFile(path), saved);
  for (const std::string& bad :
       {std::string("/in\n0"), std::string("/a\r"), std::string("/a\0b", 4),
        std::string(kMaxStoredPathLength + 1, 'a')}) {
    WatchList unstorable;
    unstorable.Append({"/in", bad, 1});
    EXPECT_FALSE(SaveDirs(RealFileSystem(), path, unstorable));
  }
  EXPECT_EQ(test::ReadFile(path), saved);
  LoadDirs(RealFileSystem(), dir.Path("missing"), list);
  EXPECT_EQ(list.Count(), 0u);
}

}  // namespace
}  // namespace qs
