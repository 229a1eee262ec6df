#include "platform/scan_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace qs {

std::string ScanLockPath(const std::string& dirs_cfg_path) {
  return dirs_cfg_path + ".lock";
}

ScanLock::ScanLock(const std::string& dirs_cfg_path) : path_(ScanLockPath(dirs_cfg_path)) {}

bool ScanLock::TryAcquire() {
  if (held_) {
    return true;
  }
  // O_CLOEXEC: a companion started later must not inherit the lock and keep it after we end.
  UniqueFd fd(::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!fd.Valid()) {
    held_ = true;
    return true;
  }
  int locked = 0;
  int error = 0;
  // A few tries: `--status` takes the lock for a moment to see whether anyone scans, and must
  // not keep a runner starting just then from scanning.
  for (int attempt = 0; attempt < 5; ++attempt) {
    do {
      locked = ::flock(fd.Get(), LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    error = locked == 0 ? 0 : errno;
    if (error != EWOULDBLOCK) {
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (locked != 0) {
    if (error == EWOULDBLOCK) {
      return false;
    }
    held_ = true;  // no locking on this file system: as without a lock file
    return true;
  }
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd.Get(), 0) == 0) {
    [[maybe_unused]] const ssize_t written = ::pwrite(fd.Get(), pid.data(), pid.size(), 0);
  }
  fd_ = std::move(fd);
  held_ = true;
  return true;
}

long ScanLock::HolderPid() const {
  if (held_) {
    return static_cast<long>(::getpid());
  }
  // The holder writes its pid right after it takes the lock; a moment's wait covers a start
  // that read the file in between.
  for (int attempt = 0; attempt < 20; ++attempt) {
    UniqueFd fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    char text[32] = {};
    const ssize_t n = fd.Valid() ? ::pread(fd.Get(), text, sizeof text - 1, 0) : -1;
    if (n > 0) {
      const long pid = std::strtol(text, nullptr, 10);
      if (pid > 0) {
        return pid;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return 0;
}

}  // namespace qs
