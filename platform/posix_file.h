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

// How a volume opened for verifying is read. The writer probe's read lease may still be held
// and the sequential-access hint still to give: both are settled by the first read that proves
// the file longer than one read (a full read, or a second read with data). A file read whole
// by its first read needs no hint, and closing it lets go of the lease, which saves two system
// calls a small volume; the lease is then held only from the open to the read that finds the
// end. Where the file system returns short reads only at the end of a file, a short read while
// the lease is held is that end (nobody can write the file meanwhile), which saves the read
// that would find it.
struct VolumeRead {
  bool lease = false;
  bool sequential_hint = false;
  bool short_read_ends = false;
};

// Reads a descriptor, retrying interrupted reads. A descriptor may still be non-blocking (files
// are opened so, lest a FIFO hang the open): regular files ignore the flag on Linux, so it is
// cleared only should a read ever answer EAGAIN, which saves a system call per file.
class FdReadableFile final : public ReadableFile {
 public:
  explicit FdReadableFile(UniqueFd fd, VolumeRead volume = {})
      : fd_(std::move(fd)), volume_(volume) {}
  long Read(void* buffer, std::size_t size) override;

 private:
  long ReadOnce(void* buffer, std::size_t size);
  void Settle();

  UniqueFd fd_;
  VolumeRead volume_;
  bool blocking_ = false;  // O_NONBLOCK known to be cleared
  bool first_read_ = true;
  bool ended_ = false;
};

}  // namespace qs
