// The test kit's fakes: one readable file served from memory, one file system that serves,
// fails, holds and counts in front of another, one recorder of scan messages, and a reference
// CRC to compute what a test expects.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/manual_reset_event.h"
#include "scan/pause_gate.h"
#include "scan/scan_messages.h"

namespace qs::test {

// `size` pseudo-random bytes, the same for the same seed.
std::string RandomBytes(std::size_t size, unsigned seed);

// Bit by bit, without any table: an independent reference for expected CRCs. The update takes
// and gives the register as the kernels do, without the final inversion.
std::uint32_t ReferenceCrcUpdate(std::uint32_t crc, const unsigned char* data, std::size_t size);
std::uint32_t ReferenceCrc(std::string_view data);
// ReferenceCrc as an SFV file states it: eight upper-case hex digits.
std::string CrcText(std::string_view data);

// What a fake file holds: `text`, then `pieces` more made by `piece` as they are read (sizes
// no test could hold in memory), served at most `chunk` bytes a read, and a read error once
// `fail_after` bytes were read (when not negative).
struct FakeContent {
  std::string text;
  std::size_t chunk = 4096;
  long fail_after = -1;
  std::size_t pieces = 0;
  std::function<std::string(std::size_t)> piece = {};
};

// `on_read`, when set, runs after every read with what the read returned.
class FakeFile : public ReadableFile {
 public:
  explicit FakeFile(FakeContent content, std::function<void(long)> on_read = {})
      : c_(std::move(content)), on_read_(std::move(on_read)) {}
  long Read(void* buffer, std::size_t size) override;

 private:
  FakeContent c_;
  std::function<void(long)> on_read_;
  std::size_t at_ = 0;    // in c_.text, which holds the current piece once the first is made
  std::size_t next_ = 0;  // the piece to make next
  std::size_t offset_ = 0;
};

// Defined here: the fuzz targets use it without the kit library.
inline long FakeFile::Read(void* buffer, std::size_t size) {
  const std::size_t limit = c_.fail_after < 0 ? SIZE_MAX : static_cast<std::size_t>(c_.fail_after);
  long result = -1;
  if (offset_ < limit) {
    const std::size_t want = std::min({size, c_.chunk, limit - offset_});
    std::size_t n = 0;
    while (n < want && (at_ < c_.text.size() || next_ < c_.pieces)) {
      if (at_ == c_.text.size()) {
        c_.text = c_.piece(next_++);
        at_ = 0;
      }
      const std::size_t take = std::min(want - n, c_.text.size() - at_);
      std::memcpy(static_cast<char*>(buffer) + n, c_.text.data() + at_, take);
      n += take;
      at_ += take;
    }
    offset_ += n;
    result = static_cast<long>(n);
  }
  if (on_read_) {
    on_read_(result);
  }
  return result;
}

// A text in reads of at most `chunk` bytes; with `fail_at_end` its end is a read error.
class TextFile final : public FakeFile {
 public:
  explicit TextFile(std::string text, std::size_t chunk = 64 * 1024, bool fail_at_end = false)
      : FakeFile({text, chunk, fail_at_end ? static_cast<long>(text.size()) : -1}) {}
};

// A point where a worker stops until the test lets it go. Armed, the first worker to pass
// signals WaitEntered() and waits until released: at once (Release) or when a given event is
// set (ReleaseWhen, typically the worker's own stop event, so that a stop lets it go).
class Hold {
 public:
  Hold() { always_.Set(); }
  void Arm();
  void Release() { ReleaseWhen(always_); }
  void ReleaseWhen(const ManualResetEvent& event) {
    until_ = &event;
    chosen_.Set();
  }
  void WaitEntered() const { entered_.Wait(); }
  void Pass();  // worker side: returns at once unless armed

 private:
  ManualResetEvent entered_, chosen_, always_;
  std::atomic<bool> armed_ = false;
  std::atomic<const ManualResetEvent*> until_ = &always_;  // chosen before chosen_ is set
};

// What faults are injected in and counted: the atomic writes, ReplaceFileAtomically included.
enum class FsOperation { kWriteFileAtomically };

// Another file system (the real one unless given) with listings sorted by name, so that a walk's
// order is fixed, and with what a test asks for: files served from memory (until written or
// deleted), write failures injected, holds at a listing or a read block, and counts. Hooks and
// switches are set while no worker runs; everything else is safe from any thread.
class TestFileSystem final : public FileSystem {
 public:
  explicit TestFileSystem(FileSystem& inner = RealFileSystem()) : inner_(inner) {}

  SystemError OpenForVerify(const std::string& path, std::unique_ptr<ReadableFile>& file) override {
    return Open(path, true, file);
  }
  SystemError OpenForReading(const std::string& path,
                             std::unique_ptr<ReadableFile>& file) override {
    return Open(path, false, file);
  }
  bool ListDirectory(const std::string& directory, std::vector<DirectoryEntry>& entries) override;
  SystemError WriteFileAtomically(const std::string& path, std::string_view content) override {
    return Write(path, content, &FileSystem::WriteFileAtomically);
  }
  SystemError ReplaceFileAtomically(const std::string& path, std::string_view content) override {
    return Write(path, content, &FileSystem::ReplaceFileAtomically);
  }
  SystemError CreateEmptyFile(const std::string& path) override {
    return inner_.CreateEmptyFile(path);
  }
  SystemError MoveFileNoReplace(const std::string& from, const std::string& to) override {
    return inner_.MoveFileNoReplace(from, to);
  }
  SystemError DeleteFile(const std::string& path) override;
  std::unique_ptr<FolderClaim> ClaimFolder(const std::string& folder) override {
    return inner_.ClaimFolder(folder);
  }

  // Both opens of `path` answer this content instead of the disk's.
  void Serve(const std::string& path, FakeContent content);
  // Every call of `operation` on a path that contains `path_part` fails with `error` without
  // reaching the disk, until ClearFaults().
  void FailEveryCall(FsOperation operation, SystemError error, std::string path_part = {});
  void ClearFaults();
  // Calls of `operation` so far, failed ones included.
  int Calls(FsOperation operation) const;

  void HoldListing(const std::string& directory);
  // Holds the read that returns block `block` (1-based) of `path`.
  void HoldRead(const std::string& path, int block);
  // Counts the read blocks served while `gate` is paused.
  void WatchPause(const PauseGate* gate);

  // Counts, to be read while no worker runs or while it is held: opens and read blocks by path.
  std::map<std::string, int> verified, read, blocks;
  int reads_while_paused = 0;
  int writes = 0;
  int listing_thread_nice = -100;  // of the thread that listed last
  void ResetCounts() {
    verified.clear();
    read.clear();
    blocks.clear();
    writes = 0;
  }
  std::function<SystemError(const std::string&)> fail_open;  // nonzero: both opens fail so
  std::function<void(const std::string&)> before_verify;
  std::function<void(const std::string&, long)> on_read;  // every read of a served file
  Hold listing_hold;
  Hold read_hold;

 private:
  using Writer = SystemError (FileSystem::*)(const std::string&, std::string_view);
  SystemError Open(const std::string& path, bool verify, std::unique_ptr<ReadableFile>& file);
  SystemError Write(const std::string& path, std::string_view content, Writer write);
  void OnRead(const std::string& path, long result);

  FileSystem& inner_;
  mutable std::mutex mutex_;
  std::map<std::string, FakeContent> served_;
  std::vector<std::pair<std::string, SystemError>> faults_;  // by path part
  int write_calls_ = 0;
  std::string hold_listing_, hold_read_path_;
  int hold_read_block_ = 0;
  const PauseGate* watched_ = nullptr;
};

// The name the watch-list tests know it by.
using FaultyFileSystem = TestFileSystem;

// Records each posted message as a word: "r<row>:<percent>" for row progress, "f<percent>" for
// file progress, "set" for a complete set (its texts kept in `texts`), "end" for the finish.
class RecordingSink final : public ScanMessageSink {
 public:
  void Post(ScanMessage message) override;
  std::string Trace() const;  // the words, separated by blanks
  bool WasPosted(const std::string& word) const;

  std::vector<std::string> posted;
  std::vector<std::unique_ptr<SetCompleteTexts>> texts;
  std::vector<RowReport> reports;                   // WM_SCAN_ROWREPORT, in order
  std::vector<std::string> failures;                // WM_SCAN_FAILURE texts, in order
  std::function<void(const std::string&)> on_post;  // after each post, on the posting thread
};

}  // namespace qs::test
