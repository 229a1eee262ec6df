// Change notifications for the folders of the watched trees, from inotify: which row's folder got
// a file closed after writing or moved in, or a new folder. The front end waits on Fd() in its
// own loop and calls ReadChanges when it is readable; nothing here blocks or starts a thread.
//
// Thread contract: one thread, the one that drives the scan controller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/unique_fd.h"

namespace qs {

// One included row of the watch list and its source tree. The destinations, where the companion
// writes, are given to SetTrees apart, since one may lie below another row's source.
struct WatchedTree {
  std::size_t row = 0;
  std::string source;
  friend bool operator==(const WatchedTree&, const WatchedTree&) = default;
};

// A folder of `row` whose files changed; with `subtree` the folder is new, and so is everything
// in it.
struct FolderChange {
  std::size_t row = 0;
  std::string folder;  // without a trailing separator
  bool subtree = false;
};

class FolderWatcher {
 public:
  // inotify_add_watch's signature; tests put a kernel that refuses in its place.
  using AddWatchFunction = std::function<int(int fd, const char* path, std::uint32_t mask)>;

  // Files named `ignored_names`, or ending in one of `ignored_suffixes` or in the temporary
  // files' suffix, are the program's own and never count as a change. Null `add_watch`: the
  // real one.
  FolderWatcher(std::vector<std::string> ignored_names, std::vector<std::string> ignored_suffixes,
                AddWatchFunction add_watch = nullptr);
  FolderWatcher(const FolderWatcher&) = delete;
  FolderWatcher& operator=(const FolderWatcher&) = delete;

  // -1 when the system gave no inotify instance; readable when ReadChanges has something.
  int Fd() const { return fd_.Get(); }

  // Watches every folder of every tree, not descending into links nor into `excluded` folders
  // or below them. Trees already watched keep their watches (rows may be renumbered); folders
  // of trees no longer listed are dropped.
  void SetTrees(std::vector<WatchedTree> trees, std::vector<std::string> excluded);
  void Clear();

  // Reads what is pending without blocking. New folders are watched and listed at once, so
  // that files and folders made before their watch are not missed; folders removed or moved
  // away are dropped.
  void ReadChanges(std::vector<FolderChange>& changes);

  std::size_t WatchedFolders() const { return paths_.size(); }
  // Folders the kernel refused a watch (its limit of watches is reached) since the last Clear.
  std::size_t RefusedFolders() const { return refused_; }
  // The row of the first tree that met a refusal.
  std::size_t FirstRefusedRow() const { return first_refused_row_; }

 private:
  // Adds watches for `folder` and every folder below it.
  void WatchTree(const std::string& folder, std::size_t row, bool is_source);
  void DropFolder(const std::string& folder);  // and everything below it
  bool Excluded(std::string_view folder) const;
  bool Ignored(std::string_view name) const;
  void RowsOf(const std::string& folder, bool subtree, std::vector<FolderChange>& changes) const;

  std::vector<std::string> ignored_names_;
  std::vector<std::string> ignored_suffixes_;
  AddWatchFunction add_watch_;
  UniqueFd fd_;
  std::vector<WatchedTree> trees_;
  std::vector<std::string> excluded_;
  std::unordered_map<int, std::string> folders_;  // by watch descriptor
  std::unordered_map<std::string, int> paths_;    // the other way round
  std::size_t refused_ = 0;
  std::size_t first_refused_row_ = 0;
};

// Whether `path` lies on a file system whose changes made elsewhere inotify never hears of:
// NFS, SMB/CIFS/SMB2 and FUSE.
bool OnNetworkFileSystem(const std::string& path);

}  // namespace qs
