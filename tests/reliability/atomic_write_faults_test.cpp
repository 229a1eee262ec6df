// A full disk or an I/O error while a state file or dirs.cfg is written, faulted inside the real
// replace: the old file stays as it was, no temporary file is left behind, and the caller hears
// of it. Only dirs.cfg is flushed to disk, so only it can fail at the flush. What the pass and
// the watch list do with the error is tested with them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/posix_io_hooks.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

enum class Fault { kNone, kWriteNothing, kWriteSome, kWriteZero, kFsync, kRename };

struct FaultCase {
  const char* label;
  Fault fault;
  int error;  // errno of the failing step
  SystemError expected;
};

// The real file system with one step of the replace failing while `fault` says so.
class FaultedDisk {
 public:
  FaultedDisk() {
    PosixIoHooks hooks;
    hooks.write = [this](int fd, const void* data, std::size_t size) -> ssize_t {
      switch (fault) {
        case Fault::kWriteNothing:
          errno = error;
          return -1;
        case Fault::kWriteSome:
          // Half of the first write lands, then the disk is full.
          if (written_ == 0) {
            written_ = ::write(fd, data, std::max<std::size_t>(size / 2, 1));
            return written_;
          }
          errno = error;
          return -1;
        case Fault::kWriteZero:
          return 0;
        default:
          return ::write(fd, data, size);
      }
    };
    hooks.fsync = [this](int fd) {
      if (fault == Fault::kFsync) {
        errno = error;
        return -1;
      }
      return ::fsync(fd);
    };
    hooks.rename = [this](const char* from, const char* to) {
      if (fault == Fault::kRename) {
        errno = error;
        return -1;
      }
      return ::rename(from, to);
    };
    fs_ = MakePosixFileSystem(std::move(hooks));
  }

  FileSystem& fs() { return *fs_; }
  void Set(Fault new_fault, int new_error) {
    fault = new_fault;
    error = new_error;
    written_ = 0;
  }

  Fault fault = Fault::kNone;
  int error = 0;

 private:
  ssize_t written_ = 0;
  std::unique_ptr<FileSystem> fs_;
};

std::vector<std::string> Listing(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class AtomicWriteFaultTest : public ::testing::TestWithParam<FaultCase> {
 protected:
  void SetUp() override { disk_.Set(GetParam().fault, GetParam().error); }
  FaultedDisk disk_;
};

// dirs.cfg is written with WriteFileAtomically, a state file with ReplaceFileAtomically, which
// does not flush and so cannot fail there.
TEST_P(AtomicWriteFaultTest, TheOldFileStaysAndNoTemporaryIsLeft) {
  using Write = SystemError (FileSystem::*)(const std::string&, std::string_view);
  for (const Write write : {&FileSystem::WriteFileAtomically, &FileSystem::ReplaceFileAtomically}) {
    const bool flushes = write == &FileSystem::WriteFileAtomically;
    const bool fails = GetParam().fault != Fault::kFsync || flushes;
    test::TempDir temp;
    const std::string path = temp.WriteFile("file", "old content\r\n");
    const std::string content(100000, 'n');
    EXPECT_EQ((disk_.fs().*write)(path, content), fails ? GetParam().expected : kErrorSuccess)
        << flushes;
    EXPECT_EQ(test::ReadFile(path), fails ? "old content\r\n" : content) << flushes;
    EXPECT_EQ(Listing(temp.path()), std::vector<std::string>{"file"}) << flushes;
    // A file that did not exist yet is not created either.
    EXPECT_EQ((disk_.fs().*write)(temp.Path("new"), "x") != kErrorSuccess, fails) << flushes;
    if (fails) {
      EXPECT_EQ(Listing(temp.path()), std::vector<std::string>{"file"}) << flushes;
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
