// dirs.cfg, the "/ADDDIR:" command and the Windows command-line splitter under hostile input:
// no crash, no hang, bounded memory, and every record that was written whole reads back whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "config/add_dir_command.h"
#include "config/dirs_file.h"
#include "config/memory_settings_store.h"
#include "config/user_messages.h"
#include "config/watch_list.h"
#include "config/watch_list_editor.h"
#include "platform/command_line.h"
#include "tests/reliability/reliability_support.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

using namespace std::string_literals;
using test::FillFile;
using test::Junk;
using test::kMiB;
using test::LinesFile;
using test::TextFile;

// Paths a user may well have, and a few a stranger's download may bring.
const std::vector<std::string>& StorablePaths() {
  static const std::vector<std::string> paths = {
      "/home/me/My Downloads",
      "/in/\"quoted\" name",
      "/in/$(touch canary)/`touch canary`",
      "/in/a;b|c&d",
      "-rf",
      "--help",
      "/in/\xff\xfe\xc3(",
      "  leading and trailing blanks\t ",
      "",
      "/in/" + std::string(kMaxStoredPathLength - 4, 'x'),
  };
  return paths;
}

TEST(HostileDirsTest, EveryStorablePathReadsBackUnchanged) {
  test::TempDir temp;
  const std::string path = temp.Path("dirs.cfg");
  WatchList list;
  std::vector<WatchEntry> entries;
  std::int32_t include = -3;
  for (const std::string& source : StorablePaths()) {
    for (const std::string& destination : {"/out"s, source}) {
      entries.push_back({source, destination, include++});
    }
  }
  list.Replace(entries);
  ASSERT_TRUE(SaveDirs(RealFileSystem(), path, list));
  WatchList loaded;
  LoadDirs(RealFileSystem(), path, loaded);
  EXPECT_EQ(loaded.Snapshot(), entries);
}

struct DirsSizeCase {
  const char* label;
  std::function<std::unique_ptr<ReadableFile>()> file;
};

std::vector<DirsSizeCase> DirsSizeCases() {
  return {
      {"AMillionRecords",
       [] {
         return std::make_unique<LinesFile>(3000000, [](std::size_t i) {
           return i % 3 == 0 ? "1\r\n"s
                             : (i % 3 == 1 ? "/in/" + std::to_string(i) + "\r\n" : "/out\r\n"s);
         });
       }},
      {"HundredMBOfEmptyLines", [] { return std::make_unique<FillFile>(100u << 20, '\n'); }},
      {"OneLineOf100MB", [] { return std::make_unique<FillFile>(100u << 20, '/', "\n/a\n/b\n"); }},
  };
}

class DirsSizeTest : public ::testing::TestWithParam<DirsSizeCase> {};

TEST_P(DirsSizeTest, ParsingNeverNeeds100MiB) {
  const test::ChildRun run = test::RunInChild([&] {
    const std::unique_ptr<ReadableFile> file = GetParam().file();
    std::size_t cost = 0;
    for (const WatchEntry& entry : ParseDirs(*file)) {
      cost += sizeof(WatchEntry) + entry.source.size() + entry.destination.size();
    }
    return static_cast<long>(cost);
  });
  ASSERT_GE(run.peak_growth, 0);
  EXPECT_LE(run.result, static_cast<long>(kMaxDirsEntryBytes));
  if (!test::kSanitized) {
    EXPECT_LT(run.peak_growth, 100 * kMiB) << run.peak_growth / kMiB << " MiB";
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, DirsSizeTest, ::testing::ValuesIn(DirsSizeCases()),
                         [](const auto& info) { return info.param.label; });

}  // namespace
}  // namespace qs
