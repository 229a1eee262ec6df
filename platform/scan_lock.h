// One scanning process per watch list: whichever of the window, --headless and --scan-once
// starts second on the same dirs.cfg does not scan. Two processes scanning one list would both
// hand each complete set to the companion program.
#pragma once

#include <string>

#include "platform/unique_fd.h"

namespace qs {

// An flock on "<dirs.cfg>.lock", which the kernel drops when the holder dies, so a crash never
// keeps the list from being scanned. The holder writes its pid into the file for the others to
// name it.
class ScanLock {
 public:
  explicit ScanLock(const std::string& dirs_cfg_path);
  ScanLock(const ScanLock&) = delete;
  ScanLock& operator=(const ScanLock&) = delete;

  // True when this process now holds the lock (or held it already). Also true when the lock
  // file cannot be made at all (a read-only profile): refusing to scan would then help nobody.
  bool TryAcquire();
  // The pid that the process holding the lock wrote; 0 when unknown.
  long HolderPid() const;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  UniqueFd fd_;
  bool held_ = false;
};

// "<dirs.cfg>.lock".
std::string ScanLockPath(const std::string& dirs_cfg_path);

}  // namespace qs
