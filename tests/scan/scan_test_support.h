// Helpers for the scan tests: a message recorder, a file system that delegates to the real one
// while sorting listings (so the walk order is fixed) and recording what was opened, and a
// completion recorder.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "scan/completion_actions.h"
#include "scan/scan_messages.h"

namespace qs::test {

// A posted message without its texts, comparable in expectations.
struct Posted {
  std::uint32_t id;
  std::int64_t wparam;
  std::int64_t lparam;
  friend bool operator==(const Posted&, const Posted&) = default;
  friend std::ostream& operator<<(std::ostream& out, const Posted& p) {
    return out << "{0x" << std::hex << p.id << std::dec << ", " << p.wparam << ", " << p.lparam
               << "}";
  }
};

class RecordingSink final : public ScanMessageSink {
 public:
  void Post(ScanMessage message) override {
    const Posted posted{message.id, message.wparam, message.lparam};
    posted_.push_back(posted);
    if (message.texts) {
      texts_.push_back(std::move(message.texts));
    }
    if (on_post) {
      on_post(posted);
    }
  }
  const std::vector<Posted>& posted() const { return posted_; }
  std::vector<std::unique_ptr<SetCompleteTexts>>& texts() { return texts_; }
  void Clear() {
    posted_.clear();
    texts_.clear();
  }

  // Called after each message is recorded (on the posting thread).
  std::function<void(const Posted&)> on_post;

 private:
  std::vector<Posted> posted_;
  std::vector<std::unique_ptr<SetCompleteTexts>> texts_;
};

class ObservedFileSystem final : public FileSystem {
 public:
  SystemError OpenForVerify(const std::string& path, std::unique_ptr<ReadableFile>& file) override {
    verified.push_back(path);
    if (on_verify) {
      on_verify(path);
    }
    SystemError result = real_.OpenForVerify(path, file);
    if (result == kErrorSuccess && wrap_verified) {
      file = wrap_verified(path, std::move(file));
    }
    return result;
  }
  SystemError OpenForReading(const std::string& path,
                             std::unique_ptr<ReadableFile>& file) override {
    read.push_back(path);
    if (fail_read) {
      if (const SystemError error = fail_read(path); error != kErrorSuccess) {
        return error;
      }
    }
    return real_.OpenForReading(path, file);
  }
  bool ListDirectory(const std::string& directory, std::vector<DirectoryEntry>& entries) override {
    const bool listed = real_.ListDirectory(directory, entries);
    std::sort(entries.begin(), entries.end(),
              [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
    return listed;
  }
  SystemError WriteFileAtomically(const std::string& path, std::string_view content) override {
    written.push_back(path);
    return fail_writes ? kErrorDiskFull : real_.WriteFileAtomically(path, content);
  }
  SystemError CreateEmptyFile(const std::string& path) override {
    return real_.CreateEmptyFile(path);
  }
  SystemError MoveFileNoReplace(const std::string& from, const std::string& to) override {
    return real_.MoveFileNoReplace(from, to);
  }
  SystemError DeleteFile(const std::string& path) override { return real_.DeleteFile(path); }

  std::size_t CountVerified(const std::string& path) const {
    return static_cast<std::size_t>(std::count(verified.begin(), verified.end(), path));
  }
  std::size_t CountRead(const std::string& path) const {
    return static_cast<std::size_t>(std::count(read.begin(), read.end(), path));
  }

  std::vector<std::string> verified;
  std::vector<std::string> read;
  std::vector<std::string> written;
  bool fail_writes = false;
  std::function<SystemError(const std::string&)> fail_read;  // nonzero: that open fails
  std::function<void(const std::string&)> on_verify;
  std::function<std::unique_ptr<ReadableFile>(const std::string&, std::unique_ptr<ReadableFile>)>
      wrap_verified;

 private:
  FileSystem& real_ = RealFileSystem();
};

// Bit by bit, without any table: an independent reference for expected CRC texts.
inline std::uint32_t ReferenceCrc(std::string_view data) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
  }
  return ~crc;
}

struct RecordedCompletion {
  WatchEntry entry;
  ArchiveSet set;
};

class RecordingCompletion final : public CompletionActions {
 public:
  void Perform(const WatchEntry& entry, const ArchiveSet& set) override {
    performed.push_back({entry, set});
  }
  std::vector<RecordedCompletion> performed;
};

}  // namespace qs::test
