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
//
// A volume opened for verifying may come with the read lease of the writer probe still held and
// the sequential-access hint still to give. Both are settled by the first read that proves the
// file longer than one read: a full read, or a second read with data. A file read whole by its
// first read needs no hint, and closing it lets go of the lease, which saves two system calls a
// small volume. The lease is then held only from the open to the read that finds the end.
struct PendingOnLongRead {
  bool lease = false;
  bool sequential_hint = false;
};

class FdReadableFile final : public ReadableFile {
 public:
  explicit FdReadableFile(UniqueFd fd, PendingOnLongRead pending = {})
      : fd_(std::move(fd)), pending_(pending) {}
  long Read(void* buffer, std::size_t size) override;

 private:
  long ReadOnce(void* buffer, std::size_t size);
  void Settle();

  UniqueFd fd_;
  PendingOnLongRead pending_;
  bool blocking_ = false;  // O_NONBLOCK known to be cleared
  bool first_read_ = true;
};

}  // namespace qs
