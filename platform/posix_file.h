// Small POSIX helpers shared by the file operations: error numbers that tell a missing file
// from a missing folder, and a ReadableFile over a descriptor.
#pragma once

#include <memory>
#include <string>

#include "platform/readable_file.h"
#include "platform/system_error.h"
#include "platform/unique_fd.h"

namespace qs {

// Maps errno after an operation on `path`. POSIX answers ENOENT both for a missing file and a
// missing folder on the way; Windows tells them apart (2 and 3), and so do we.
SystemError ErrorForPath(int errno_value, const std::string& path);

// Reads a descriptor, retrying interrupted reads. A descriptor may still be non-blocking (files
// are opened so, lest a FIFO hang the open): regular files ignore the flag on Linux, so it is
// cleared only should a read ever answer EAGAIN, which saves a system call per file.
class FdReadableFile final : public ReadableFile {
 public:
  explicit FdReadableFile(UniqueFd fd) : fd_(std::move(fd)) {}
  long Read(void* buffer, std::size_t size) override;

 private:
  UniqueFd fd_;
  bool blocking_ = false;  // O_NONBLOCK known to be cleared
};

}  // namespace qs
