#include "config/watch_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace qs {
namespace {

WatchEntry Entry(char fill, std::int32_t include) {
  return {std::string(64, fill), std::string(64, fill), include};
}

TEST(WatchList, RemoveClosesTheGapAndOutOfRangeRowsAreRefused) {
  WatchList list;
  list.Replace({Entry('a', 1), Entry('b', 0), Entry('c', 2)});
  EXPECT_TRUE(list.RemoveAt(1));
  EXPECT_FALSE(list.RemoveAt(2));
  EXPECT_FALSE(list.SetInclude(2, 1));
  WatchEntry row;
  EXPECT_FALSE(list.CopyRow(2, row));
  ASSERT_TRUE(list.CopyRow(1, row));
  EXPECT_EQ(row, Entry('c', 2));
  list.Append(Entry('d', 1));
  EXPECT_EQ(list.Snapshot(),
            (std::vector<WatchEntry>{Entry('a', 1), Entry('c', 2), Entry('d', 1)}));
}

// The worker's side of the contract: while the window's thread reloads, removes, appends and
// toggles, every row copy is one whole entry, never a mix of two or a freed one.
TEST(WatchList, WorkerCopiesWholeRowsWhileTheWindowChangesTheList) {
  WatchList list;
  list.Replace({Entry('a', 'a'), Entry('b', 'b')});
  std::atomic<bool> done{false};
  std::atomic<int> bad{0};
  std::thread worker([&] {
    WatchEntry row;
    while (!done.load()) {
      for (std::size_t i = 0; i < list.Count(); ++i) {
        if (!list.CopyRow(i, row)) {
          continue;  // the list shrank between the count and the copy
        }
        const char fill = row.source.empty() ? '?' : row.source[0];
        if (row.source != std::string(64, fill) || row.destination != row.source ||
            (row.include != fill && row.include != 0)) {
          ++bad;
        }
      }
    }
  });
  for (int round = 0; round < 3000; ++round) {
    const char fill = static_cast<char>('a' + round % 26);
    list.Replace({Entry(fill, fill), Entry('z', 'z')});
    list.Append(Entry('y', 'y'));
    list.SetInclude(0, 0);
    list.RemoveAt(1);
  }
  done = true;
  worker.join();
  EXPECT_EQ(bad.load(), 0);
}

}  // namespace
}  // namespace qs
