#include "scan/change_trigger.h"

#include <algorithm>
#include <string>

namespace qs {

void ChangeTrigger::Note(const FolderChange& change, Clock::time_point now) {
  const auto [it, added] = rows_.try_emplace(change.row);
  Row& row = it->second;
  if (added) {
    row.first = now;
  }
  row.last = now;
  if (row.whole) {
    return;
  }
  const auto same =
      std::find_if(row.folders.begin(), row.folders.end(),
                   [&](const PassScope::Folder& f) { return f.path == change.folder; });
  if (same != row.folders.end()) {
    same->subtree = same->subtree || change.subtree;
  } else if (row.folders.size() < kMostFolders) {
    row.folders.push_back({change.folder, change.subtree});
  } else {
    row.whole = true;
    row.folders.clear();
  }
}

std::optional<ChangeTrigger::Clock::time_point> ChangeTrigger::NextDue() const {
  std::optional<Clock::time_point> next;
  for (const auto& [index, row] : rows_) {
    if (!next || row.Due() < *next) {
      next = row.Due();
    }
  }
  return next;
}

PassScope ChangeTrigger::TakeDue(Clock::time_point now) {
  PassScope scope;
  for (auto it = rows_.begin(); it != rows_.end();) {
    if (it->second.Due() <= now) {
      scope.rows[it->first] = std::move(it->second.folders);
      it = rows_.erase(it);
    } else {
      ++it;
    }
  }
  return scope;
}

std::unique_ptr<FolderWatcher> NewFolderWatcher() {
  return std::make_unique<FolderWatcher>(
      std::vector<std::string>{kStateFileName, kVerifiedMarkerName},
      std::vector<std::string>{".oldsfv"});
}

}  // namespace qs
