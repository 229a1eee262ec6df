// The POSIX file system with its low-level write steps replaceable, so that a test can make the
// real crash-safe replace fail part way (a full disk, an I/O error) and check what is left.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <memory>

#include "platform/file_system.h"

namespace qs {

// Each member stands in for the system call of its name and answers as that call does (-1 with
// errno set on failure). An empty member means the system call itself.
struct PosixIoHooks {
  std::function<ssize_t(int fd, const void* data, std::size_t size)> write;
  std::function<int(int fd)> fsync;
  std::function<int(const char* from, const char* to)> rename;
};

// A file system that behaves as RealFileSystem() except where `hooks` say otherwise.
std::unique_ptr<FileSystem> MakePosixFileSystem(PosixIoHooks hooks);

}  // namespace qs
