// Fakes shared by the config tests: an in-memory file, a file system whose writes can be made
// to fail, and a message sink that records what the user would have seen.
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "config/user_messages.h"
#include "platform/file_system.h"

namespace qs::test {

// Hands out its text `chunk` bytes per read, so line ends can fall on any read boundary.
class StringFile final : public ReadableFile {
 public:
  explicit StringFile(std::string text, std::size_t chunk = 4096)
      : text_(std::move(text)), chunk_(chunk) {}
  long Read(void* buffer, std::size_t size) override {
    const std::size_t n = std::min({size, chunk_, text_.size() - pos_});
    std::memcpy(buffer, text_.data() + pos_, n);
    pos_ += n;
    return static_cast<long>(n);
  }

 private:
  std::string text_;
  std::size_t chunk_;
  std::size_t pos_ = 0;
};

// The real file system, except that writes fail while `fail_writes` is set, as a full disk or a
// read-only folder would (the tests run as any user, root included, so permissions cannot).
class FaultyFileSystem final : public FileSystem {
 public:
  bool fail_writes = false;
  int write_attempts = 0;

  SystemError OpenForVerify(const std::string& path, std::unique_ptr<ReadableFile>& file) override {
    return real_.OpenForVerify(path, file);
  }
  SystemError OpenForReading(const std::string& path,
                             std::unique_ptr<ReadableFile>& file) override {
    return real_.OpenForReading(path, file);
  }
  bool ListDirectory(const std::string& directory, std::vector<DirectoryEntry>& entries) override {
    return real_.ListDirectory(directory, entries);
  }
  SystemError WriteFileAtomically(const std::string& path, std::string_view content) override {
    ++write_attempts;
    return fail_writes ? kErrorDiskFull : real_.WriteFileAtomically(path, content);
  }
  SystemError CreateEmptyFile(const std::string& path) override {
    return real_.CreateEmptyFile(path);
  }
  SystemError MoveFileNoReplace(const std::string& from, const std::string& to) override {
    return real_.MoveFileNoReplace(from, to);
  }
  SystemError DeleteFile(const std::string& path) override { return real_.DeleteFile(path); }

 private:
  FileSystem& real_ = RealFileSystem();
};

struct ShownMessage {
  std::string text;
  std::string caption;
  MessageIcon icon;
  bool question;
};

class RecordingMessages final : public UserMessages {
 public:
  bool answer = true;
  std::vector<ShownMessage> shown;

  void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) override {
    shown.push_back({std::string(text), std::string(caption), icon, false});
  }
  bool AskYesNo(std::string_view text, std::string_view caption) override {
    shown.push_back({std::string(text), std::string(caption), MessageIcon::kQuestion, true});
    return answer;
  }
};

}  // namespace qs::test
