// When change notifications start a pass: a row is due once it has had no further change for
// the settle time, or at the latest that long after its first change however busy it stays, so
// that a download still being written is not checked file by file. Driven by the caller's clock.
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/folder_watcher.h"
#include "scan/scan_pass.h"

namespace qs {

class ChangeTrigger {
 public:
  using Clock = std::chrono::steady_clock;

  static constexpr Clock::duration kSettle = std::chrono::seconds(2);
  static constexpr Clock::duration kLongest = std::chrono::seconds(10);
  // A row with more changed folders than this is walked whole.
  static constexpr std::size_t kMostFolders = 64;

  void Note(const FolderChange& change, Clock::time_point now);
  // When the first pending row falls due; nullopt with nothing pending.
  std::optional<Clock::time_point> NextDue() const;
  // Takes every row due at `now` with its folders; an empty scope when none is.
  PassScope TakeDue(Clock::time_point now);
  // A pass of every tree is starting: what was noted so far is covered.
  void Clear() { rows_.clear(); }
  bool Pending() const { return !rows_.empty(); }

 private:
  struct Row {
    Clock::time_point first;
    Clock::time_point last;
    std::vector<PassScope::Folder> folders;
    bool whole = false;
    Clock::time_point Due() const { return std::min(last + kSettle, first + kLongest); }
  };
  std::map<std::size_t, Row> rows_;
};

// A watcher that ignores the program's own files in a watched folder: the state file, the
// marker, an SFV file renamed after its set is complete (and the temporary files, which the
// watcher knows itself).
std::unique_ptr<FolderWatcher> NewFolderWatcher();

}  // namespace qs
