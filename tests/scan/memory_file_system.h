// An in-memory file system for the unit tests of the SFV reader and the CRC engine: files are
// texts (or generators for hostile sizes), opens can be made to fail with a chosen error.
#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/file_system.h"

namespace qs::test {

// Serves `content` in reads of at most `chunk` bytes, then -1 once `fail_after` bytes were
// served when that is set (a device that fails part way). Counts its reads in `*reads`.
class StringFile final : public ReadableFile {
 public:
  StringFile(std::string content, std::size_t chunk, long fail_after = -1, int* reads = nullptr)
      : content_(std::move(content)), chunk_(chunk), fail_after_(fail_after), reads_(reads) {}
  long Read(void* buffer, std::size_t size) override {
    if (reads_ != nullptr) {
      ++*reads_;
    }
    if (fail_after_ >= 0 && offset_ >= static_cast<std::size_t>(fail_after_)) {
      return -1;
    }
    std::size_t n = std::min({size, chunk_, content_.size() - offset_});
    if (fail_after_ >= 0) {
      n = std::min(n, static_cast<std::size_t>(fail_after_) - offset_);
    }
    std::memcpy(buffer, content_.data() + offset_, n);
    offset_ += n;
    return static_cast<long>(n);
  }

 private:
  std::string content_;
  std::size_t chunk_;
  long fail_after_;
  int* reads_;
  std::size_t offset_ = 0;
};

// `size` bytes of `fill` followed by `tail`, produced on the fly.
class GeneratedFile final : public ReadableFile {
 public:
  GeneratedFile(std::size_t size, char fill, std::string tail)
      : size_(size), fill_(fill), tail_(std::move(tail)) {}
  long Read(void* buffer, std::size_t size) override {
    auto* out = static_cast<char*>(buffer);
    std::size_t n = 0;
    while (n < size && offset_ < size_ + tail_.size()) {
      out[n++] = offset_ < size_ ? fill_ : tail_[offset_ - size_];
      ++offset_;
    }
    return static_cast<long>(n);
  }

 private:
  std::size_t size_;
  char fill_;
  std::string tail_;
  std::size_t offset_ = 0;
};

class MemoryFileSystem final : public FileSystem {
 public:
  using Factory = std::function<std::unique_ptr<ReadableFile>()>;

  void Add(const std::string& path, std::string content, std::size_t chunk = 4096) {
    files_[path] = [content, chunk] { return std::make_unique<StringFile>(content, chunk); };
  }
  void AddFactory(const std::string& path, Factory factory) { files_[path] = std::move(factory); }
  void FailOpen(const std::string& path, SystemError error) { errors_[path] = error; }

  SystemError OpenForVerify(const std::string& path, std::unique_ptr<ReadableFile>& file) override {
    return Open(path, file);
  }
  SystemError OpenForReading(const std::string& path,
                             std::unique_ptr<ReadableFile>& file) override {
    return Open(path, file);
  }
  bool ListDirectory(const std::string&, std::vector<DirectoryEntry>&) override { return false; }
  SystemError WriteFileAtomically(const std::string&, std::string_view) override {
    return kErrorAccessDenied;
  }
  SystemError CreateEmptyFile(const std::string&) override { return kErrorAccessDenied; }
  SystemError MoveFileNoReplace(const std::string&, const std::string&) override {
    return kErrorAccessDenied;
  }
  SystemError DeleteFile(const std::string&) override { return kErrorAccessDenied; }

 private:
  SystemError Open(const std::string& path, std::unique_ptr<ReadableFile>& file) {
    if (auto error = errors_.find(path); error != errors_.end()) {
      return error->second;
    }
    auto found = files_.find(path);
    if (found == files_.end()) {
      return kErrorFileNotFound;
    }
    file = found->second();
    return kErrorSuccess;
  }

  std::map<std::string, Factory> files_;
  std::map<std::string, SystemError> errors_;
};

}  // namespace qs::test
