// What the scan tests share: a reference CRC, a message recorder and one file system for every
// scan test.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
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
#include "scan/scan_pass.h"
#include "tests/support/temp_dir.h"

namespace qs::test {

// `size` pseudo-random bytes, the same for the same seed.
std::string RandomBytes(std::size_t size, unsigned seed);

// Bit by bit, without any table: an independent reference for expected CRCs.
std::uint32_t ReferenceCrc(std::string_view data);
// ReferenceCrc as an SFV file states it: eight upper-case hex digits.
std::string CrcText(std::string_view data);

// Records each posted message as a word: "r<row>:<percent>" for row progress, "f<percent>" for
// file progress, "set" for a complete set (its texts kept in `texts`), "end" for the finish.
class RecordingSink final : public ScanMessageSink {
 public:
  void Post(ScanMessage message) override;
  std::string Trace() const;  // the words, separated by blanks
  bool WasPosted(const std::string& word) const {
    return std::find(posted.begin(), posted.end(), word) != posted.end();
  }

  std::vector<std::string> posted;
  std::vector<std::unique_ptr<SetCompleteTexts>> texts;
  std::vector<RowReport> reports;                   // WM_SCAN_ROWREPORT, in order
  std::vector<std::string> failures;                // WM_SCAN_FAILURE texts, in order
  std::function<void(const std::string&)> on_post;  // after each post, on the posting thread
};

class TestFileSystem;

// A file served from memory: `text`, at most `chunk` bytes a read, and a read error once
// `fail_after` bytes were read (when not negative).
struct FakeContent {
  std::string text;
  std::size_t chunk = 4096;
  long fail_after = -1;
};

// Reports each block read to `owner`, when there is one, which may hold the reader there.
class FakeFile final : public ReadableFile {
 public:
  explicit FakeFile(FakeContent content, TestFileSystem* owner = nullptr, std::string path = {})
      : c_(std::move(content)), owner_(owner), path_(std::move(path)) {}
  long Read(void* buffer, std::size_t size) override;

 private:
  FakeContent c_;
  TestFileSystem* owner_;
  std::string path_;
  std::size_t offset_ = 0;
};

// A point where the worker stops until the test lets it go. Armed, the first worker to pass
// signals WaitEntered() and waits until released: at once (Release) or when a given event is
// set (ReleaseWhen, typically the worker's own stop event, so that a stop lets it go).
class Hold {
 public:
  Hold() { always_.Set(); }
  void Arm();
  void Release() { ReleaseWhen(always_); }
  void ReleaseWhen(const ManualResetEvent& event);
  void WaitEntered() const { entered_.Wait(); }
  void Pass();  // worker side: returns at once unless armed

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool armed_ = false;
  const ManualResetEvent* until_ = nullptr;
  ManualResetEvent entered_;
  ManualResetEvent always_;
};

// The real file system with listings sorted by name (so the walk order is fixed), files served
// from memory, injected failures, counts per path, and holds at a listing or a read block.
// Hooks and switches are set while no worker runs; everything else is safe from any thread.
class TestFileSystem final : public FileSystem {
 public:
  SystemError OpenForVerify(const std::string& path, std::unique_ptr<ReadableFile>& file) override {
    return Open(path, true, file);
  }
  SystemError OpenForReading(const std::string& path,
                             std::unique_ptr<ReadableFile>& file) override {
    return Open(path, false, file);
  }
  bool ListDirectory(const std::string& directory, std::vector<DirectoryEntry>& entries) override;
  SystemError WriteFileAtomically(const std::string& path, std::string_view content) override;
  SystemError CreateEmptyFile(const std::string& path) override {
    return real_.CreateEmptyFile(path);
  }
  SystemError MoveFileNoReplace(const std::string& from, const std::string& to) override {
    return real_.MoveFileNoReplace(from, to);
  }
  SystemError DeleteFile(const std::string& path) override { return real_.DeleteFile(path); }
  std::unique_ptr<FolderClaim> ClaimFolder(const std::string& folder) override {
    return real_.ClaimFolder(folder);
  }

  // Both opens of `path` answer this content instead of the disk's.
  void Serve(const std::string& path, FakeContent content);
  void HoldListing(const std::string& directory);
  // Holds the read that returns block `block` (1-based) of `path`.
  void HoldRead(const std::string& path, int block);
  // Counts the read blocks served while `gate` is paused.
  void WatchPause(const PauseGate* gate);

  void OnBlockRead(const std::string& path);

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
  bool fail_writes = false;
  Hold listing_hold;
  Hold read_hold;

 private:
  SystemError Open(const std::string& path, bool verify, std::unique_ptr<ReadableFile>& file);

  FileSystem& real_ = RealFileSystem();
  std::mutex mutex_;
  std::map<std::string, FakeContent> served_;
  std::string hold_listing_, hold_read_path_;
  int hold_read_block_ = 0;
  const PauseGate* watched_ = nullptr;
};

}  // namespace qs::test
