// Shared by the fuzz targets: the read sizes that serve the input as a file (TextFile), an
// in-memory disk, and a check that stops the fuzzer on a broken property.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/fakes.h"

namespace qs::fuzz {

// A property that must hold for every input: a failure is a finding like a crash.
inline void Require(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
  }
}

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Read sizes that put line ends on every boundary: one byte, an odd few, and large blocks.
inline constexpr std::size_t kReadSizes[] = {1, 3, 7, 4096, 1u << 20};

// Files and folders in memory. Listings are as registered; every write lands in `files`.
class MemoryDisk final : public FileSystem {
 public:
  std::map<std::string, std::string> files;
  std::map<std::string, std::vector<DirectoryEntry>> folders;
  std::size_t read_size = 4096;

  SystemError OpenForVerify(const std::string& path, std::unique_ptr<ReadableFile>& file) override {
    return Open(path, file);
  }
  SystemError OpenForReading(const std::string& path,
                             std::unique_ptr<ReadableFile>& file) override {
    return Open(path, file);
  }
  bool ListDirectory(const std::string& directory, std::vector<DirectoryEntry>& entries) override {
    const auto found = folders.find(directory);
    if (found == folders.end()) {
      entries.clear();
      return false;
    }
    entries = found->second;
    return true;
  }
  SystemError WriteFileAtomically(const std::string& path, std::string_view content) override {
    files[path] = std::string(content);
    return kErrorSuccess;
  }
  SystemError CreateEmptyFile(const std::string& path) override {
    files[path].clear();
    return kErrorSuccess;
  }
  SystemError MoveFileNoReplace(const std::string& from, const std::string& to) override {
    if (files.count(to) != 0 || files.count(from) == 0) {
      return kErrorFileExists;
    }
    files[to] = files[from];
    files.erase(from);
    return kErrorSuccess;
  }
  SystemError DeleteFile(const std::string& path) override {
    return files.erase(path) != 0 ? kErrorSuccess : kErrorFileNotFound;
  }

 private:
  SystemError Open(const std::string& path, std::unique_ptr<ReadableFile>& file) {
    const auto found = files.find(path);
    if (found == files.end()) {
      return kErrorFileNotFound;
    }
    file = std::make_unique<test::TextFile>(found->second, read_size);
    return kErrorSuccess;
  }
};

}  // namespace qs::fuzz
