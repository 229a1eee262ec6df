#include "platform/folder_watcher.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/file_system.h"

namespace qs {
namespace {

// A file closed after writing or moved in is a change; a new folder is watched; a folder moved
// away is dropped. A file merely created is not: its writer has not finished yet.
constexpr std::uint32_t kMask = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE |
                                IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;

bool IsDirectory(const std::string& parent, const dirent& entry) {
  if (entry.d_type != DT_UNKNOWN) {
    return entry.d_type == DT_DIR;
  }
  struct stat info {};
  return ::lstat(PathInDirectory(parent, entry.d_name).c_str(), &info) == 0 &&
         S_ISDIR(info.st_mode);
}

}  // namespace

FolderWatcher::FolderWatcher(std::vector<std::string> ignored_names,
                             std::vector<std::string> ignored_suffixes, AddWatchFunction add_watch)
    : ignored_names_(std::move(ignored_names)),
      ignored_suffixes_(std::move(ignored_suffixes)),
      add_watch_(std::move(add_watch)),
      fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
  ignored_suffixes_.emplace_back(kTemporaryFileSuffix);
  if (!add_watch_) {
    add_watch_ = [](int fd, const char* path, std::uint32_t mask) {
      return ::inotify_add_watch(fd, path, mask);
    };
  }
}

void FolderWatcher::SetTrees(std::vector<WatchedTree> trees, std::vector<std::string> excluded) {
  for (WatchedTree& tree : trees) {
    tree.source = WithoutTrailingSeparators(std::move(tree.source));
  }
  for (std::string& folder : excluded) {
    folder = WithoutTrailingSeparators(std::move(folder));
  }
  std::vector<WatchedTree> previous = std::exchange(trees_, std::move(trees));
  const bool same_exclusions = excluded == excluded_;
  excluded_ = std::move(excluded);
  // Folders no tree covers any more, or newly excluded, go.
  std::vector<std::string> gone;
  for (const auto& watched : paths_) {
    const std::string& path = watched.first;
    const bool covered = std::any_of(trees_.begin(), trees_.end(), [&](const WatchedTree& tree) {
      return IsAtOrBelow(path, tree.source);
    });
    if (!covered || Excluded(path)) {
      gone.push_back(path);
    }
  }
  for (const std::string& path : gone) {
    DropFolder(path);
  }
  for (const WatchedTree& tree : trees_) {
    const bool known = std::any_of(previous.begin(), previous.end(), [&](const WatchedTree& old) {
      return old.source == tree.source;
    });
    // Fewer exclusions may uncover folders of a known tree.
    if (!known || !same_exclusions) {
      WatchTree(tree.source, tree.row, true);
    }
  }
}

void FolderWatcher::Clear() {
  for (const auto& [wd, path] : folders_) {
    ::inotify_rm_watch(fd_.Get(), wd);
  }
  folders_.clear();
  paths_.clear();
  trees_.clear();
  excluded_.clear();
  refused_ = 0;
}

void FolderWatcher::WatchTree(const std::string& folder, std::size_t row, bool is_source) {
  if (!fd_.Valid() || Excluded(folder)) {
    return;
  }
  std::vector<std::string> pending{folder};
  while (!pending.empty()) {
    std::string path = std::move(pending.back());
    pending.pop_back();
    // A source may be a link; below it links are never followed, even one that replaced a
    // folder since it was listed.
    const bool follow = is_source && path == folder;
    if (paths_.find(path) == paths_.end()) {
      const std::uint32_t mask = kMask | (follow ? 0 : IN_DONT_FOLLOW);
      const int wd = add_watch_(fd_.Get(), path.c_str(), mask);
      if (wd < 0) {
        if (errno != ENOSPC) {
          continue;  // gone meanwhile, or not ours to read
        }
        if (refused_++ == 0) {
          first_refused_row_ = row;
        }
      } else {
        if (const auto old = folders_.find(wd); old != folders_.end()) {
          paths_.erase(old->second);  // one folder reached by two paths
        }
        folders_[wd] = path;
        paths_[path] = wd;
      }
    }
    const int fd =
        ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW));
    DIR* directory = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (directory == nullptr) {
      if (fd >= 0) {
        ::close(fd);
      }
      continue;
    }
    while (const dirent* entry = ::readdir(directory)) {
      const std::string_view name = entry->d_name;
      if (name == "." || name == ".." || !IsDirectory(path, *entry)) {
        continue;
      }
      std::string child = PathInDirectory(path, name);
      if (!Excluded(child)) {
        pending.push_back(std::move(child));
      }
    }
    ::closedir(directory);
  }
}

void FolderWatcher::DropFolder(const std::string& folder) {
  for (auto it = paths_.begin(); it != paths_.end();) {
    if (IsAtOrBelow(it->first, folder)) {
      ::inotify_rm_watch(fd_.Get(), it->second);
      folders_.erase(it->second);
      it = paths_.erase(it);
    } else {
      ++it;
    }
  }
}

bool FolderWatcher::Excluded(std::string_view folder) const {
  return std::any_of(excluded_.begin(), excluded_.end(), [folder](const std::string& excluded) {
    return IsAtOrBelow(folder, excluded);
  });
}

bool FolderWatcher::Ignored(std::string_view name) const {
  return std::find(ignored_names_.begin(), ignored_names_.end(), name) != ignored_names_.end() ||
         std::any_of(ignored_suffixes_.begin(), ignored_suffixes_.end(),
                     [name](const std::string& suffix) { return name.ends_with(suffix); });
}

void FolderWatcher::RowsOf(const std::string& folder, bool subtree,
                           std::vector<FolderChange>& changes) const {
  for (const WatchedTree& tree : trees_) {
    if (IsAtOrBelow(folder, tree.source)) {
      changes.push_back({tree.row, folder, subtree});
    }
  }
}

void FolderWatcher::ReadChanges(std::vector<FolderChange>& changes) {
  alignas(inotify_event) char buffer[64 * 1024];
  for (;;) {
    const ssize_t length = ::read(fd_.Get(), buffer, sizeof buffer);
    if (length <= 0) {
      return;  // EAGAIN: nothing more for now
    }
    for (ssize_t offset = 0; offset < length;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
      offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      const std::string_view name = event->len > 0 ? std::string_view(event->name) : "";
      if ((event->mask & IN_Q_OVERFLOW) != 0) {
        // Events were lost, new folders among them: every tree is looked at again.
        for (const WatchedTree& tree : std::vector<WatchedTree>(trees_)) {
          WatchTree(tree.source, tree.row, true);
          RowsOf(tree.source, true, changes);
        }
        continue;
      }
      const auto found = folders_.find(event->wd);
      if (found == folders_.end()) {
        continue;  // a watch dropped already
      }
      const std::string folder = found->second;
      if ((event->mask & IN_IGNORED) != 0) {
        paths_.erase(folder);
        folders_.erase(found);
        continue;
      }
      if ((event->mask & IN_MOVE_SELF) != 0) {
        DropFolder(folder);  // a source moved away; its new place is not ours
        continue;
      }
      if ((event->mask & IN_ISDIR) != 0) {
        const std::string child = PathInDirectory(folder, name);
        if ((event->mask & IN_MOVED_FROM) != 0) {
          DropFolder(child);
        } else if ((event->mask & (IN_CREATE | IN_MOVED_TO)) != 0 && !Excluded(child)) {
          const auto tree = std::find_if(trees_.begin(), trees_.end(), [&](const WatchedTree& t) {
            return IsAtOrBelow(child, t.source);
          });
          WatchTree(child, tree != trees_.end() ? tree->row : 0, false);
          RowsOf(child, true, changes);
        }
        continue;
      }
      if ((event->mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) != 0 && !Ignored(name)) {
        RowsOf(folder, false, changes);
      }
    }
  }
}

bool OnNetworkFileSystem(const std::string& path) {
  struct statfs info {};
  if (::statfs(path.c_str(), &info) != 0) {
    return false;
  }
  switch (static_cast<unsigned long>(info.f_type)) {
    case 0x6969UL:      // NFS
    case 0x517BUL:      // SMB
    case 0xFF534D42UL:  // CIFS
    case 0xFE534D42UL:  // SMB2
    case 0x65735546UL:  // FUSE
      return true;
    default:
      return false;
  }
}

}  // namespace qs
