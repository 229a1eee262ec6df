// Helpers for the reliability tests: files of hostile sizes made on the fly (nothing that large
// is ever written to disk), a file system that serves them at chosen paths, and a measure of
// how much memory a piece of work needs at its peak.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/text_file.h"

namespace qs::test {

// Peak sizes mean little where a sanitizer keeps freed memory in quarantine.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

// `size` bytes of reproducible junk.
inline std::string Junk(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string junk(size, '\0');
  for (char& c : junk) {
    c = static_cast<char>(random() & 0xFF);
  }
  return junk;
}

// `size` bytes of `fill`, then `tail`.
class FillFile final : public ReadableFile {
 public:
  FillFile(std::size_t size, char fill, std::string tail = {})
      : size_(size), fill_(fill), tail_(std::move(tail)) {}
  long Read(void* buffer, std::size_t size) override {
    auto* out = static_cast<char*>(buffer);
    std::size_t n = 0;
    if (offset_ < size_) {
      n = std::min(size, size_ - offset_);
      std::memset(out, fill_, n);
      offset_ += n;
    }
    while (n < size && offset_ - size_ < tail_.size()) {
      out[n++] = tail_[offset_ - size_];
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

// `count` lines, line i being `line(i)` (which brings its own line end).
class LinesFile final : public ReadableFile {
 public:
  LinesFile(std::size_t count, std::function<std::string(std::size_t)> line)
      : count_(count), line_(std::move(line)) {}
  long Read(void* buffer, std::size_t size) override {
    auto* out = static_cast<char*>(buffer);
    std::size_t n = 0;
    while (n < size) {
      if (pending_offset_ == pending_.size()) {
        if (next_ == count_) {
          break;
        }
        pending_ = line_(next_++);
        pending_offset_ = 0;
      }
      const std::size_t take = std::min(size - n, pending_.size() - pending_offset_);
      std::memcpy(out + n, pending_.data() + pending_offset_, take);
      n += take;
      pending_offset_ += take;
    }
    return static_cast<long>(n);
  }

 private:
  std::size_t count_;
  std::function<std::string(std::size_t)> line_;
  std::size_t next_ = 0;
  std::string pending_;
  std::size_t pending_offset_ = 0;
};

// Serves made-up files at chosen paths for both kinds of open; everything else goes to the
// wrapped file system.
class ServingFileSystem final : public FileSystem {
 public:
  using Factory = std::function<std::unique_ptr<ReadableFile>()>;

  explicit ServingFileSystem(FileSystem& inner) : inner_(inner) {}
  void Serve(const std::string& path, Factory factory) { served_[path] = std::move(factory); }

  SystemError OpenForVerify(const std::string& path, std::unique_ptr<ReadableFile>& file) override {
    return Open(path, file) ? kErrorSuccess : inner_.OpenForVerify(path, file);
  }
  SystemError OpenForReading(const std::string& path,
                             std::unique_ptr<ReadableFile>& file) override {
    return Open(path, file) ? kErrorSuccess : inner_.OpenForReading(path, file);
  }
  bool ListDirectory(const std::string& directory, std::vector<DirectoryEntry>& entries) override {
    return inner_.ListDirectory(directory, entries);
  }
  SystemError WriteFileAtomically(const std::string& path, std::string_view content) override {
    served_.erase(path);  // what is written replaces what was served
    return inner_.WriteFileAtomically(path, content);
  }
  SystemError ReplaceFileAtomically(const std::string& path, std::string_view content) override {
    served_.erase(path);
    return inner_.ReplaceFileAtomically(path, content);
  }
  SystemError CreateEmptyFile(const std::string& path) override {
    return inner_.CreateEmptyFile(path);
  }
  SystemError MoveFileNoReplace(const std::string& from, const std::string& to) override {
    return inner_.MoveFileNoReplace(from, to);
  }
  SystemError DeleteFile(const std::string& path) override {
    served_.erase(path);
    return inner_.DeleteFile(path);
  }

 private:
  bool Open(const std::string& path, std::unique_ptr<ReadableFile>& file) {
    const auto found = served_.find(path);
    if (found == served_.end()) {
      return false;
    }
    file = found->second();
    return true;
  }

  FileSystem& inner_;
  std::map<std::string, Factory> served_;
};

struct ChildRun {
  long peak_growth = -1;  // bytes; -1 when the child did not finish
  long result = -1;       // what the work returned
};

// Runs `work` in a forked child and measures by how much its peak resident size grew. The child
// starts with the parent's pages, so only what the work itself needs above them counts.
inline ChildRun RunInChild(const std::function<long()>& work) {
  int out[2];
  if (::pipe(out) != 0) {
    return {};
  }
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(out[0]);
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    ChildRun run;
    run.result = work();
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    run.peak_growth = (after.ru_maxrss - before.ru_maxrss) * 1024;
    const bool sent = ::write(out[1], &run, sizeof run) == sizeof run;
    ::_exit(sent ? 0 : 1);
  }
  ::close(out[1]);
  ChildRun run;
  if (child < 0 || ::read(out[0], &run, sizeof run) != sizeof run) {
    run = {};
  }
  ::close(out[0]);
  int status = 0;
  if (child > 0) {
    ::waitpid(child, &status, 0);
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? run : ChildRun{};
}

inline constexpr long kMiB = 1024 * 1024;

}  // namespace qs::test
