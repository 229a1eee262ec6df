// A FileSystem decorator that injects faults deterministically: a chosen call of an operation
// fails with a chosen error, files stop reading after N bytes, and a hook runs just before each
// call so that a test can change the disk between a listing and an open. Everything else goes
// to the file system it wraps. Safe to share between threads.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace qs::test {

enum class FsOperation {
  kOpenForVerify,
  kOpenForReading,
  kListDirectory,
  kWriteFileAtomically,
  kCreateEmptyFile,
  kMoveFileNoReplace,
  kDeleteFile,
};

class FaultyFileSystem final : public FileSystem {
 public:
  explicit FaultyFileSystem(FileSystem& inner) : inner_(inner) {}

  // The `nth` call from now (1 = the next) of `operation` on a path that contains `path_part`
  // fails with `error` without reaching the wrapped file system. A listing fails with nothing.
  void FailNthCall(FsOperation operation, int nth, SystemError error, std::string path_part = {});
  // Every such call fails until ClearFaults().
  void FailEveryCall(FsOperation operation, SystemError error, std::string path_part = {});
  // Files opened (either way) whose path contains `path_part` answer -1, a read error, once
  // `bytes` bytes of them were read.
  void FailReadsAfter(std::string path_part, std::size_t bytes);
  void ClearFaults();

  // Calls of `operation` so far, failed ones included.
  int Calls(FsOperation operation) const;

  SystemError OpenForVerify(const std::string& path, std::unique_ptr<ReadableFile>& file) override;
  SystemError OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>& file) override;
  bool ListDirectory(const std::string& directory, std::vector<DirectoryEntry>& entries) override;
  SystemError WriteFileAtomically(const std::string& path, std::string_view content) override;
  // Counted and faulted as kWriteFileAtomically.
  SystemError ReplaceFileAtomically(const std::string& path, std::string_view content) override;
  SystemError CreateEmptyFile(const std::string& path) override;
  SystemError MoveFileNoReplace(const std::string& from, const std::string& to) override;
  SystemError DeleteFile(const std::string& path) override;

 private:
  struct Fault {
    FsOperation operation;
    std::string path_part;
    SystemError error;
    int countdown;  // the matching call that fails; 0 means every one
  };

  // Counts the call and answers the injected error (0 for none).
  SystemError Enter(FsOperation operation, const std::string& path);
  SystemError WrapOpened(const std::string& path, SystemError result,
                         std::unique_ptr<ReadableFile>& file);

  FileSystem& inner_;
  mutable std::mutex mutex_;
  std::vector<Fault> faults_;
  std::vector<std::pair<std::string, std::size_t>> read_limits_;
  std::map<FsOperation, int> calls_;
};

}  // namespace qs::test
