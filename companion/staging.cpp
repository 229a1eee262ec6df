#include "companion/staging.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace qs {

namespace {

namespace fs = std::filesystem;

constexpr const char* kTreeName = "tree";
constexpr const char* kMovingName = "moving";
constexpr int kMaxNumberedNames = 9999;

std::string ErrnoText(int error) {
  return std::error_code(error, std::generic_category()).message();
}

// Never through a link inside the destination; the destination itself may well be one.
int OpenDirectory(int at, const char* name) {
  return openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

int OpenDestination(const std::string& destination) {
  return open(destination.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// "movie.mkv" → "movie (2).mkv"; a leading dot is not an extension.
std::string NumberedName(const std::string& name, int number) {
  const std::size_t dot = name.rfind('.');
  const std::string suffix = " (" + std::to_string(number) + ")";
  if (dot == std::string::npos || dot == 0) {
    return name + suffix;
  }
  return name.substr(0, dot) + suffix + name.substr(dot);
}

// A rename that never replaces. Where the file system cannot promise that, check and rename.
int RenameNoReplace(int from_dir, const char* from, int to_dir, const char* to) {
  if (renameat2(from_dir, from, to_dir, to, RENAME_NOREPLACE) == 0) {
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    return errno;
  }
  struct stat existing {};
  if (fstatat(to_dir, to, &existing, AT_SYMLINK_NOFOLLOW) == 0) {
    return EEXIST;
  }
  return renameat(from_dir, from, to_dir, to) == 0 ? 0 : errno;
}

class Mover {
 public:
  Mover(std::vector<std::string>& notes, std::string& error) : notes_(notes), error_(error) {}

  // Moves every entry of the open directory `from` into the open directory `to`.
  bool MoveChildren(int from, int to, const std::string& shown_prefix) {
    DIR* dir = fdopendir(dup(from));
    if (dir == nullptr) {
      error_ = "cannot list the staging folder: " + ErrnoText(errno);
      return false;
    }
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) {
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
        names.emplace_back(entry->d_name);
      }
    }
    closedir(dir);
    for (const std::string& name : names) {
      if (!Move(from, to, name, shown_prefix)) {
        return false;
      }
    }
    return true;
  }

 private:
  bool Move(int from, int to, const std::string& name, const std::string& shown_prefix) {
    const std::string shown = shown_prefix + name;
    int result = RenameNoReplace(from, name.c_str(), to, name.c_str());
    if (result == 0) {
      return true;
    }
    if (result != EEXIST) {
      error_ = "cannot move " + shown + " into place: " + ErrnoText(result);
      return false;
    }
    // A folder that exists as a real folder takes the new entries into it.
    struct stat source {};
    struct stat target {};
    if (fstatat(from, name.c_str(), &source, AT_SYMLINK_NOFOLLOW) == 0 &&
        fstatat(to, name.c_str(), &target, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(source.st_mode) &&
        S_ISDIR(target.st_mode)) {
      return Merge(from, to, name, shown);
    }
    for (int number = 2; number <= kMaxNumberedNames; ++number) {
      const std::string numbered = NumberedName(name, number);
      result = RenameNoReplace(from, name.c_str(), to, numbered.c_str());
      if (result == 0) {
        notes_.push_back(shown + " exists already; the new one is " + shown_prefix + numbered);
        return true;
      }
      if (result != EEXIST) {
        break;
      }
    }
    error_ = "cannot move " + shown + " into place: " + ErrnoText(result);
    return false;
  }

  // The entries of the folder `name` in `from` into the folder of that name in `to`; the
  // emptied folder goes.
  bool Merge(int from, int to, const std::string& name, const std::string& shown) {
    const int inner_from = OpenDirectory(from, name.c_str());
    const int inner_to = inner_from >= 0 ? OpenDirectory(to, name.c_str()) : -1;
    bool merged = false;
    if (inner_to < 0) {
      error_ = "cannot open the folder " + shown + ": " + ErrnoText(errno);
    } else {
      merged = MoveChildren(inner_from, inner_to, shown + "/");
    }
    for (int fd : {inner_from, inner_to}) {
      if (fd >= 0) {
        close(fd);
      }
    }
    if (merged && unlinkat(from, name.c_str(), AT_REMOVEDIR) != 0) {
      error_ = "cannot remove the merged folder " + shown + ": " + ErrnoText(errno);
      merged = false;
    }
    return merged;
  }

  std::vector<std::string>& notes_;
  std::string& error_;
};

bool Finish(const std::string& destination, const std::string& folder,
            std::vector<std::string>& notes, std::string& error) {
  const int to = OpenDestination(destination);
  const int from = OpenDirectory(AT_FDCWD, (folder + "/" + kTreeName).c_str());
  bool moved = false;
  if (to < 0 || from < 0) {
    error = "cannot open " + destination + ": " + ErrnoText(errno);
  } else {
    moved = Mover(notes, error).MoveChildren(from, to, "");
  }
  for (int fd : {from, to}) {
    if (fd >= 0) {
      close(fd);
    }
  }
  return moved;
}

// Staging folders of killed runs: finished when their move had begun, removed otherwise.
void RecoverAbandoned(const std::string& destination, std::vector<std::string>& notes) {
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(destination, ec)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(kStagingPrefix) || !entry.is_directory(ec) || entry.is_symlink(ec)) {
      continue;
    }
    const int fd = OpenDirectory(AT_FDCWD, entry.path().c_str());
    if (fd < 0) {
      continue;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {  // no live run holds it
      std::string error;
      if (fs::exists(entry.path() / kMovingName, ec)) {
        if (Finish(destination, entry.path().string(), notes, error)) {
          notes.push_back("finished moving the set that a stopped run left in " + name);
        } else {
          notes.push_back("could not finish the move a stopped run began: " + error);
        }
      } else {
        notes.push_back("removed " + name + ", left unfinished by a stopped run");
      }
      fs::remove_all(entry.path(), ec);
    }
    close(fd);
  }
}

}  // namespace

Staging::~Staging() {
  if (!folder_.empty()) {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  if (made_destination_) {
    rmdir(destination_.c_str());  // fails, as it should, once anything moved in
  }
  if (lock_fd_ >= 0) {
    close(lock_fd_);
  }
}

bool Staging::Create(const std::string& destination, std::vector<std::string>& notes,
                     std::string& error) {
  std::error_code ec;
  made_destination_ = fs::create_directories(destination, ec);
  destination_ = destination;
  const int destination_fd = OpenDestination(destination);
  if (destination_fd < 0) {
    error =
        "cannot use the destination " + destination + ": " + (ec ? ec.message() : ErrnoText(errno));
    return false;
  }
  // Held while looking for abandoned folders and making ours, so that no other run takes our
  // new folder, not yet locked, for an abandoned one.
  flock(destination_fd, LOCK_EX);
  RecoverAbandoned(destination, notes);
  std::string pattern = destination + "/" + kStagingPrefix + "XXXXXX";
  if (mkdtemp(pattern.data()) != nullptr) {
    folder_ = pattern;
    lock_fd_ = OpenDirectory(AT_FDCWD, folder_.c_str());
  }
  if (lock_fd_ >= 0) {
    flock(lock_fd_, LOCK_EX);
  }
  close(destination_fd);
  if (lock_fd_ < 0) {
    error = "cannot make a staging folder in " + destination + ": " + ErrnoText(errno);
    return false;
  }
  tree_ = folder_ + "/" + kTreeName;
  return ResetTree(error);
}

bool Staging::ResetTree(std::string& error) {
  std::error_code ec;
  fs::remove_all(tree_, ec);
  if (mkdir(tree_.c_str(), 0700) != 0) {
    error = "cannot make the staging folder " + tree_ + ": " + ErrnoText(errno);
    return false;
  }
  return true;
}

bool Staging::MoveIntoPlace(std::vector<std::string>& notes, std::string& error) {
  // Durable before the first rename, so that a run killed half way through is finished by
  // the next one rather than its remaining entries being thrown away.
  const int marker =
      open((folder_ + "/" + kMovingName).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  if (marker < 0 || fsync(marker) != 0) {
    error = "cannot record the move in " + folder_ + ": " + ErrnoText(errno);
    if (marker >= 0) {
      close(marker);
    }
    return false;
  }
  close(marker);
  const int folder_fd = OpenDirectory(AT_FDCWD, folder_.c_str());
  if (folder_fd >= 0) {
    fsync(folder_fd);
    close(folder_fd);
  }
  return Finish(destination_, folder_, notes, error);
}

}  // namespace qs
