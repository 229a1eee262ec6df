#include "tests/support/faulty_file_system.h"

#include <algorithm>
#include <utility>

namespace qs::test {

namespace {

// Hands out the wrapped file's bytes until `remaining` is used up, then a read error.
class ReadFailingFile final : public ReadableFile {
 public:
  ReadFailingFile(std::unique_ptr<ReadableFile> inner, std::size_t remaining)
      : inner_(std::move(inner)), remaining_(remaining) {}
  long Read(void* buffer, std::size_t size) override {
    if (remaining_ == 0) {
      return -1;
    }
    const long got = inner_->Read(buffer, std::min(size, remaining_));
    if (got > 0) {
      remaining_ -= static_cast<std::size_t>(got);
    }
    return got;
  }

 private:
  std::unique_ptr<ReadableFile> inner_;
  std::size_t remaining_;
};

}  // namespace

void FaultyFileSystem::FailNthCall(FsOperation operation, int nth, SystemError error,
                                   std::string path_part) {
  std::lock_guard lock(mutex_);
  faults_.push_back({operation, std::move(path_part), error, std::max(nth, 1)});
}

void FaultyFileSystem::FailEveryCall(FsOperation operation, SystemError error,
                                     std::string path_part) {
  std::lock_guard lock(mutex_);
  faults_.push_back({operation, std::move(path_part), error, 0});
}

void FaultyFileSystem::FailReadsAfter(std::string path_part, std::size_t bytes) {
  std::lock_guard lock(mutex_);
  read_limits_.emplace_back(std::move(path_part), bytes);
}

void FaultyFileSystem::ClearFaults() {
  std::lock_guard lock(mutex_);
  faults_.clear();
  read_limits_.clear();
}

int FaultyFileSystem::Calls(FsOperation operation) const {
  std::lock_guard lock(mutex_);
  const auto found = calls_.find(operation);
  return found == calls_.end() ? 0 : found->second;
}

SystemError FaultyFileSystem::Enter(FsOperation operation, const std::string& path) {
  SystemError error = kErrorSuccess;
  {
    std::lock_guard lock(mutex_);
    ++calls_[operation];
    for (auto fault = faults_.begin(); fault != faults_.end(); ++fault) {
      if (fault->operation != operation || path.find(fault->path_part) == std::string::npos) {
        continue;
      }
      if (fault->countdown == 0) {
        error = fault->error;
        break;
      }
      if (--fault->countdown == 0) {
        error = fault->error;
        faults_.erase(fault);
        break;
      }
    }
  }
  return error;
}

SystemError FaultyFileSystem::WrapOpened(const std::string& path, SystemError result,
                                         std::unique_ptr<ReadableFile>& file) {
  if (result != kErrorSuccess || !file) {
    return result;
  }
  std::lock_guard lock(mutex_);
  for (const auto& [part, bytes] : read_limits_) {
    if (path.find(part) != std::string::npos) {
      file = std::make_unique<ReadFailingFile>(std::move(file), bytes);
      break;
    }
  }
  return result;
}

SystemError FaultyFileSystem::OpenForVerify(const std::string& path,
                                            std::unique_ptr<ReadableFile>& file) {
  file.reset();
  if (const SystemError error = Enter(FsOperation::kOpenForVerify, path)) {
    return error;
  }
  return WrapOpened(path, inner_.OpenForVerify(path, file), file);
}

SystemError FaultyFileSystem::OpenForReading(const std::string& path,
                                             std::unique_ptr<ReadableFile>& file) {
  file.reset();
  if (const SystemError error = Enter(FsOperation::kOpenForReading, path)) {
    return error;
  }
  return WrapOpened(path, inner_.OpenForReading(path, file), file);
}

bool FaultyFileSystem::ListDirectory(const std::string& directory,
                                     std::vector<DirectoryEntry>& entries) {
  entries.clear();
  if (Enter(FsOperation::kListDirectory, directory) != kErrorSuccess) {
    return false;
  }
  return inner_.ListDirectory(directory, entries);
}

SystemError FaultyFileSystem::WriteFileAtomically(const std::string& path,
                                                  std::string_view content) {
  if (const SystemError error = Enter(FsOperation::kWriteFileAtomically, path)) {
    return error;
  }
  return inner_.WriteFileAtomically(path, content);
}

SystemError FaultyFileSystem::ReplaceFileAtomically(const std::string& path,
                                                    std::string_view content) {
  if (const SystemError error = Enter(FsOperation::kWriteFileAtomically, path)) {
    return error;
  }
  return inner_.ReplaceFileAtomically(path, content);
}

SystemError FaultyFileSystem::CreateEmptyFile(const std::string& path) {
  if (const SystemError error = Enter(FsOperation::kCreateEmptyFile, path)) {
    return error;
  }
  return inner_.CreateEmptyFile(path);
}

SystemError FaultyFileSystem::MoveFileNoReplace(const std::string& from, const std::string& to) {
  if (const SystemError error = Enter(FsOperation::kMoveFileNoReplace, from)) {
    return error;
  }
  return inner_.MoveFileNoReplace(from, to);
}

SystemError FaultyFileSystem::DeleteFile(const std::string& path) {
  if (const SystemError error = Enter(FsOperation::kDeleteFile, path)) {
    return error;
  }
  return inner_.DeleteFile(path);
}

}  // namespace qs::test
