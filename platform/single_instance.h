// One running instance per user: a lock decides which process is the running instance, and a
// local socket carries a second start's command line to it.
#pragma once

#include <string>

namespace qs {

// The per-user runtime folder ($XDG_RUNTIME_DIR, else the temp folder with the user id, made
// private to the user). Empty when no folder of the user's own can be had (another user
// holds the name in the temp folder).
std::string RuntimeDirectory();

// The lock file whose holder is the running instance: "Quarrystream" in the runtime folder.
std::string InstanceLockPath();

// An flock on a per-user lock file. The kernel drops it when a process dies, so a crash never
// leaves it taken.
class InstanceLock {
 public:
  explicit InstanceLock(std::string path);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Returns true when this process now holds the lock (or already held it).
  bool TryAcquire();
  void Release();
  bool IsHeld() const { return fd_ >= 0; }

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace qs
