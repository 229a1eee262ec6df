#include "config/watch_list.h"

#include <utility>

namespace qs {

std::size_t WatchList::Count() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

bool WatchList::CopyRow(std::size_t row, WatchEntry& entry) const {
  std::lock_guard lock(mutex_);
  if (row >= entries_.size()) {
    return false;
  }
  entry = *entries_[row];
  return true;
}

std::vector<WatchEntry> WatchList::Snapshot() const {
  std::lock_guard lock(mutex_);
  std::vector<WatchEntry> copy;
  copy.reserve(entries_.size());
  for (const auto& entry : entries_) {
    copy.push_back(*entry);
  }
  return copy;
}

void WatchList::Append(WatchEntry entry) {
  auto owned = std::make_unique<WatchEntry>(std::move(entry));
  std::lock_guard lock(mutex_);
  entries_.push_back(std::move(owned));
}

bool WatchList::RemoveAt(std::size_t row) {
  std::unique_ptr<WatchEntry> removed;
  {
    std::lock_guard lock(mutex_);
    if (row >= entries_.size()) {
      return false;
    }
    removed = std::move(entries_[row]);
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(row));
  }
  return true;
}

bool WatchList::SetInclude(std::size_t row, std::int32_t include) {
  std::lock_guard lock(mutex_);
  if (row >= entries_.size()) {
    return false;
  }
  entries_[row]->include = include;
  return true;
}

void WatchList::Replace(std::vector<WatchEntry> entries) {
  // Allocate the new rows before taking the lock and free the old ones after releasing it, so
  // the worker waits only for the swap.
  std::vector<std::unique_ptr<WatchEntry>> fresh;
  fresh.reserve(entries.size());
  for (auto& entry : entries) {
    fresh.push_back(std::make_unique<WatchEntry>(std::move(entry)));
  }
  {
    std::lock_guard lock(mutex_);
    entries_.swap(fresh);
  }
}

void WatchList::Clear() {
  Replace({});
}

}  // namespace qs
