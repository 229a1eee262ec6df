// The ordered watch list shared by the window's thread and the scan worker.
//
// Thread contract: only the window's thread changes the list. The worker calls Count() and
// CopyRow() only; each takes the watch-list lock for that one read, so the worker never holds
// it across file work and never sees a row being changed or freed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "config/watch_entry.h"

namespace qs {

class WatchList {
 public:
  std::size_t Count() const;
  // Copies row `row` into `entry`; false when the row does not exist (the list shrank).
  bool CopyRow(std::size_t row, WatchEntry& entry) const;
  std::vector<WatchEntry> Snapshot() const;

  void Append(WatchEntry entry);
  bool RemoveAt(std::size_t row);
  bool SetInclude(std::size_t row, std::int32_t include);
  void Replace(std::vector<WatchEntry> entries);
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<WatchEntry>> entries_;
};

}  // namespace qs
