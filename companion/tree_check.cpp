#include "companion/tree_check.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "companion/entry_policy.h"

namespace qs {

namespace {

class Walker {
 public:
  explicit Walker(TreeCheck& check) : check_(check) {}

  // `fd` is an open folder at `prefix` ("" or "a/b/") within the tree; it is closed here.
  void Walk(int fd, const std::string& prefix) {
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
      close(fd);
      Error(prefix);
      return;
    }
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) {
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
        names.emplace_back(entry->d_name);
      }
    }
    for (const std::string& name : names) {
      Visit(dirfd(dir), prefix, name);
    }
    closedir(dir);
  }

 private:
  void Error(const std::string& name) {
    if (check_.error.empty()) {
      check_.error = "cannot check the extracted " + (name.empty() ? std::string("tree") : name) +
                     ": " + std::error_code(errno, std::generic_category()).message();
    }
  }

  void Visit(int at, const std::string& prefix, const std::string& name) {
    const std::string path = prefix + name;
    struct stat st {};
    if (fstatat(at, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      Error(path);
      return;
    }
    EntryKind kind = EntryKind::kSpecial;
    std::string target;
    if (S_ISDIR(st.st_mode)) {
      kind = EntryKind::kDirectory;
    } else if (S_ISREG(st.st_mode)) {
      kind = EntryKind::kRegular;
    } else if (S_ISLNK(st.st_mode)) {
      kind = EntryKind::kSymlink;
      target.resize(static_cast<std::size_t>(st.st_size) + 1);
      const ssize_t length = readlinkat(at, name.c_str(), target.data(), target.size());
      target.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    }
    std::string reason = RefusalReason(kind, path, target);
    if (reason.empty() && kind == EntryKind::kRegular && st.st_nlink > 1) {
      reason = "it is a hard link, and its other names cannot be checked";
    }
    if (!reason.empty()) {
      check_.refused.push_back(path + ": " + reason);
      Remove(at, name, kind == EntryKind::kDirectory);
      return;
    }
    ++check_.entries;
    check_.bytes += kind == EntryKind::kRegular ? static_cast<std::uint64_t>(st.st_size) : 0;
    if (kind == EntryKind::kDirectory) {
      const int inner = openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (inner < 0) {
        Error(path);
        return;
      }
      Walk(inner, path + "/");
    }
  }

  void Remove(int at, const std::string& name, bool directory) {
    if (directory) {
      const int inner = openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (inner >= 0) {
        DIR* dir = fdopendir(inner);
        std::vector<std::string> names;
        while (dirent* entry = dir != nullptr ? readdir(dir) : nullptr) {
          if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names.emplace_back(entry->d_name);
          }
        }
        for (const std::string& child : names) {
          struct stat st {};
          const bool is_dir = fstatat(dirfd(dir), child.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                              S_ISDIR(st.st_mode);
          Remove(dirfd(dir), child, is_dir);
        }
        if (dir != nullptr) {
          closedir(dir);
        } else {
          close(inner);
        }
      }
    }
    if (unlinkat(at, name.c_str(), directory ? AT_REMOVEDIR : 0) != 0) {
      Error(name);  // a refused entry that stays would move in with the rest
    }
  }

  TreeCheck& check_;
};

}  // namespace

TreeCheck CheckExtractedTree(const std::string& root) {
  TreeCheck check;
  const int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  Walker(check).Walk(fd, "");  // refused depths keep the recursion short
  return check;
}

}  // namespace qs
