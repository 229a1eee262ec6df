// A set completes in a real pass and the real starter runs a recording stand-in for the
// companion program, then the post-execution command: the argv each receives is exact.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "config/memory_settings_store.h"
#include "config/watch_list.h"
#include "platform/manual_reset_event.h"
#include "scan/companion_completion.h"
#include "scan/post_execution.h"
#include "scan/scan_pass.h"
#include "tests/scan/scan_test_support.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

namespace fs = std::filesystem;

using Record = std::vector<std::string>;

// The records the recorder appended: arguments ended by NUL, records ended by a newline.
std::vector<Record> ParseRecords(const std::string& text) {
  std::vector<Record> records;
  Record current;
  std::string argument;
  for (const char c : text) {
    if (c == '\0') {
      current.push_back(argument);
      argument.clear();
    } else if (c == '\n' && argument.empty()) {
      records.push_back(current);
      current.clear();
    } else {
      argument.push_back(c);
    }
  }
  return records;
}

// The programs run detached, so their records arrive whenever they do; wait a bounded time.
std::vector<Record> WaitForRecords(const std::string& path, std::size_t count) {
  std::vector<Record> records;
  for (int attempt = 0; attempt < 3000; ++attempt) {
    records = ParseRecords(test::ReadFile(path));
    if (records.size() >= count) {
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return records;
}

std::string CrcOfVolume() {
  char text[9];
  std::snprintf(text, sizeof text, "%08X",
                static_cast<unsigned>(test::ReferenceCrc("volume data")));
  return text;
}

TEST(CompletionEndToEndTest, TheCompanionAndThePostCommandReceiveExactArguments) {
  test::TempDir temp;
  const std::string bin = temp.MakeDir("my bin") + "/";
  fs::copy_file(QS_ARGV_RECORDER, bin + "mirrowen");
  fs::permissions(bin + "mirrowen", fs::perms::owner_all);
  const std::string record = temp.Path("record");
  ASSERT_EQ(setenv("QS_ARGV_RECORD", record.c_str(), 1), 0);

  temp.WriteFile("in/movie/x.rar", "volume data");
  temp.WriteFile("in/movie/x.sfv", "x.rar " + CrcOfVolume() + "\r\n");
  WatchList list;
  list.Append(WatchEntry{temp.Path("in"), temp.Path("out"), 1});
  MemorySettingsStore settings;
  test::RecordingSink sink;
  CompanionCompletion companion(settings, RealFileSystem(), sink, bin);
  ManualResetEvent stop;
  ManualResetEvent done;
  ScanPassContext context{&list,      &sink, &settings, &RealFileSystem(),
                          &companion, &stop, &done,     nullptr};
  ASSERT_EQ(ScanThreadProc(context), 1u);

  const std::string set_directory = temp.Path("in/movie/");
  auto records = WaitForRecords(record, 1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0], (Record{"/ADDRAR:" + set_directory + "x.rar",
                                "/DESTINATION:" + temp.Path("out") + "//movie/", "/TOTRAY"}));

  ASSERT_EQ(sink.texts().size(), 1u);
  const auto started = OnSetComplete(std::move(sink.texts()[0]),
                                     "\"" + bin + "mirrowen\" post \"%1\" \"%2\" \"%3\"");
  ASSERT_EQ(started.size(), 5u);
  records = WaitForRecords(record, 2);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1],
            (Record{"post", set_directory, set_directory + "x.sfv", set_directory + "x.rar"}));
  unsetenv("QS_ARGV_RECORD");
}

}  // namespace
}  // namespace qs
