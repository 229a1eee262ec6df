#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/file_system.h"

namespace qs {

namespace {

std::string TemporaryDirectory() {
  std::error_code error;
  std::string temp = std::filesystem::temp_directory_path(error).string();
  if (error || temp.empty()) {
    temp = "/tmp";
  }
  return WithoutTrailingSeparators(std::move(temp));
}

// The fallback folder lies in a place every user can write to: it only counts when it is a real
// folder of ours that nobody else can enter.
bool MakePrivateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    return false;
  }
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
    return false;
  }
  return (info.st_mode & 077) == 0 || ::chmod(path.c_str(), 0700) == 0;
}

}  // namespace

std::string RuntimeDirectory() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
      runtime != nullptr && runtime[0] == '/') {
    std::error_code error;
    if (std::filesystem::is_directory(runtime, error)) {
      return runtime;
    }
  }
  const std::string folder = (TemporaryDirectory() == "/" ? "" : TemporaryDirectory()) +
                             "/quarrystream-" + std::to_string(::getuid());
  return MakePrivateFolder(folder) ? folder : std::string();
}

std::string InstanceLockPath() {
  const std::string folder = RuntimeDirectory();
  return folder.empty() ? std::string() : folder + "/Quarrystream";
}

InstanceLock::InstanceLock(std::string path) : path_(std::move(path)) {}

InstanceLock::~InstanceLock() {
  Release();
}

bool InstanceLock::TryAcquire() {
  if (fd_ >= 0) {
    return true;
  }
  if (path_.empty()) {
    return false;
  }
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    return false;
  }
  int locked = 0;
  do {
    locked = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

void InstanceLock::Release() {
  // The file stays: removing it would let a third start lock a fresh file while a second one
  // still holds the old.
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

}  // namespace qs
