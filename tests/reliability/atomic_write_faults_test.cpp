// A full disk or an I/O error while a state file or dirs.cfg is written, faulted inside the real
// replace: the old file stays as it was, no temporary file is left behind, and the caller hears
// of it. Only dirs.cfg is flushed to disk, so only it can fail at the flush. What the pass and
// the watch list do with the error is tested with them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <iterator>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/posix_io_hooks.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

enum class Fault { kWriteNothing, kWriteSome, kWriteZero, kFsync, kRename };

struct FaultCase {
  const char* label;
  Fault fault;
  int error;  // errno of the failing step
  SystemError expected;
};

// How many files `directory` holds.
long Files(const std::string& directory) {
  return std::distance(std::filesystem::directory_iterator(directory), {});
}

// The real file system with the step the case names failing.
class AtomicWriteFaultTest : public ::testing::TestWithParam<FaultCase> {
 protected:
  bool Fails(Fault step) const {
    errno = GetParam().error;
    return GetParam().fault == step;
  }
  ssize_t Write(int fd, const void* data, std::size_t size) {
    if (Fails(Fault::kWriteSome) && written_ > 0) {
      return -1;  // half of the first write landed, then the disk is full
    }
    if (Fails(Fault::kWriteSome)) {
      size = std::max<std::size_t>(size / 2, 1);
    }
    return Fails(Fault::kWriteNothing) ? -1
           : Fails(Fault::kWriteZero)  ? 0
                                       : (written_ = ::write(fd, data, size));
  }
  ssize_t written_ = 0;
  std::unique_ptr<FileSystem> disk_ = MakePosixFileSystem(
      {[this](int fd, const void* data, std::size_t size) { return Write(fd, data, size); },
       [this](int fd) { return Fails(Fault::kFsync) ? -1 : ::fsync(fd); },
       [this](const char* from, const char* to) {
         return Fails(Fault::kRename) ? -1 : ::rename(from, to);
       }});
};

// dirs.cfg is written with WriteFileAtomically, a state file with ReplaceFileAtomically, which
// does not flush and so cannot fail there.
TEST_P(AtomicWriteFaultTest, TheOldFileStaysAndNoTemporaryIsLeft) {
  using Write = SystemError (FileSystem::*)(const std::string&, std::string_view);
  for (const Write write : {&FileSystem::WriteFileAtomically, &FileSystem::ReplaceFileAtomically}) {
    const bool flushes = write == &FileSystem::WriteFileAtomically;
    const bool fails = GetParam().fault != Fault::kFsync || flushes;
    test::TempDir temp;
    written_ = 0;
    const std::string path = temp.WriteFile("file", "old content\r\n");
    const std::string content(100000, 'n');
    EXPECT_EQ((disk_.get()->*write)(path, content), fails ? GetParam().expected : kErrorSuccess)
        << flushes;
    EXPECT_EQ(test::ReadFile(path), fails ? "old content\r\n" : content) << flushes;
    EXPECT_EQ(Files(temp.path()), 1) << flushes;
    // A file that did not exist yet is not created either.
    EXPECT_EQ((disk_.get()->*write)(temp.Path("new"), "x") != kErrorSuccess, fails) << flushes;
    if (fails) {
      EXPECT_EQ(Files(temp.path()), 1) << flushes;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, AtomicWriteFaultTest,
    ::testing::Values(FaultCase{"DiskFullAtTheFirstWrite", Fault::kWriteNothing, ENOSPC,
                                kErrorDiskFull},
                      FaultCase{"DiskFullPartWay", Fault::kWriteSome, ENOSPC, kErrorDiskFull},
                      FaultCase{"QuotaPartWay", Fault::kWriteSome, EDQUOT, kErrorDiskFull},
                      FaultCase{"WriteWithoutProgress", Fault::kWriteZero, 0, kErrorDiskFull},
                      FaultCase{"IoErrorPartWay", Fault::kWriteSome, EIO, kErrorReadFault},
                      FaultCase{"IoErrorAtTheFlush", Fault::kFsync, EIO, kErrorReadFault},
                      FaultCase{"DiskFullAtTheFlush", Fault::kFsync, ENOSPC, kErrorDiskFull},
                      FaultCase{"IoErrorAtTheRename", Fault::kRename, EIO, kErrorReadFault}),
    [](const auto& info) { return info.param.label; });

}  // namespace
}  // namespace qs
