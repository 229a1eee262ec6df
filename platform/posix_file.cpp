#include "platform/posix_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace qs {

namespace {

std::string ParentOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

SystemError ErrorForPath(int errno_value, const std::string& path) {
  if (errno_value != ENOENT) {
    return SystemErrorFromErrno(errno_value);
  }
  struct stat parent {};
  if (::stat(ParentOf(path).c_str(), &parent) == 0 && S_ISDIR(parent.st_mode)) {
    return kErrorFileNotFound;
  }
  return kErrorPathNotFound;
}

long FdReadableFile::Read(void* buffer, std::size_t size) {
  if (ended_) {
    return 0;
  }
  const long got = ReadOnce(buffer, size);
  if (got >= 0 && static_cast<std::size_t>(got) < size && volume_.lease &&
      volume_.short_read_ends) {
    ended_ = true;
  }
  if (got > 0 && (static_cast<std::size_t>(got) == size || !first_read_)) {
    Settle();
  }
  first_read_ = false;
  return got;
}

void FdReadableFile::Settle() {
  if (volume_.lease) {
    ::fcntl(fd_.Get(), F_SETLEASE, F_UNLCK);
  }
  if (volume_.sequential_hint) {
    ::posix_fadvise(fd_.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  }
  volume_ = {};
}

long FdReadableFile::ReadOnce(void* buffer, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(fd_.Get(), buffer, size);
    if (got >= 0) {
      return static_cast<long>(got);
    }
    if ((errno == EAGAIN || errno == EWOULDBLOCK) && !blocking_) {
      // A network or FUSE file system that honours the flag: wait for the data as intended.
      blocking_ = true;
      const int flags = ::fcntl(fd_.Get(), F_GETFL);
      if (flags >= 0 && ::fcntl(fd_.Get(), F_SETFL, flags & ~O_NONBLOCK) == 0) {
        continue;
      }
      return -1;
    }
    if (errno != EINTR) {
      return -1;
    }
  }
}

}  // namespace qs
