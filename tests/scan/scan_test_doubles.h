// Test doubles for the scan worker and its controller: a display and a timer that record, a
// sleeper that never sleeps, and a file system that can hold the worker at a chosen listing or
// read block until the test lets it go. Holds replace sleeps: a test waits on an event the
// worker sets, never on the clock.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/manual_reset_event.h"
#include "scan/countdown_timer.h"
#include "scan/pause_gate.h"
#include "scan/scan_display.h"
#include "scan/scan_message_queue.h"
#include "scan/sleeper.h"

namespace qs::test {

class FakeDisplay final : public ScanDisplay {
 public:
  void SetStatusText(std::string_view text) override { statuses.emplace_back(text); }
  void SetCountdownText(std::string_view text) override { countdowns.emplace_back(text); }
  void SetProgressPercent(std::int64_t row, int column, std::int64_t percent) override {
    cells[{row, column}] = percent;
  }
  void SetFileProgress(std::int64_t percent) override { file_progress.push_back(percent); }
  std::size_t RowCount() const override { return rows; }
  std::string PostExecutionText() const override { return post_execution; }

  std::string Status() const { return statuses.empty() ? std::string() : statuses.back(); }
  std::string Countdown() const { return countdowns.empty() ? std::string() : countdowns.back(); }
  std::int64_t Cell(std::int64_t row) const {
    auto it = cells.find({row, kProgressColumn});
    return it == cells.end() ? -1 : it->second;
  }

  std::vector<std::string> statuses;
  std::vector<std::string> countdowns;
  std::map<std::pair<std::int64_t, int>, std::int64_t> cells;
  std::vector<std::int64_t> file_progress;
  std::size_t rows = 1;
  std::string post_execution;
};

class FakeTimer final : public CountdownTimer {
 public:
  void Start(std::chrono::milliseconds interval) override {
    running = true;
    period = interval;
    ++starts;
  }
  void Stop() override { running = false; }

  bool running = false;
  std::chrono::milliseconds period{0};
  int starts = 0;
};

class RecordingSleeper final : public Sleeper {
 public:
  void SleepFor(std::chrono::milliseconds duration) override {
    std::lock_guard lock(mutex_);
    sleeps_.push_back(duration);
  }
  std::vector<std::chrono::milliseconds> Sleeps() const {
    std::lock_guard lock(mutex_);
    return sleeps_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::chrono::milliseconds> sleeps_;
};

// A point where the worker stops until the test lets it go. Armed, the first worker to pass
// signals Entered() and waits until released: at once (Release) or when a given event is set
// (ReleaseWhen, typically the worker's own stop event, so a stop is what lets it go).
class Hold {
 public:
  Hold() { always_.Set(); }
  void Arm();
  void Disarm() { ReleaseWhen(always_); }
  void Release() { ReleaseWhen(always_); }
  void ReleaseWhen(const ManualResetEvent& event);
  void WaitEntered() const { entered_.Wait(); }
  // Worker side: returns at once unless armed.
  void Pass();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool armed_ = false;
  const ManualResetEvent* until_ = nullptr;
  ManualResetEvent entered_;
  ManualResetEvent always_;
};

// The real file system with holds, an SFV open failure, synthetic large volumes and counters.
class ScriptedFileSystem final : public FileSystem {
 public:
  SystemError OpenForVerify(const std::string& path, std::unique_ptr<ReadableFile>& file) override;
  SystemError OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>& file) override;
  bool ListDirectory(const std::string& directory, std::vector<DirectoryEntry>& entries) override;
  SystemError WriteFileAtomically(const std::string& path, std::string_view content) override;
  SystemError CreateEmptyFile(const std::string& path) override;
  SystemError MoveFileNoReplace(const std::string& from, const std::string& to) override;
  SystemError DeleteFile(const std::string& path) override;

  // Holds the next listing of `directory`.
  void HoldListing(const std::string& directory);
  // Holds the read that returns block `block` (1-based) of the file at `path`.
  void HoldRead(const std::string& path, int block);
  // Serves `path` as `blocks` read blocks of zeros, whatever is on disk.
  void ServeLargeFile(const std::string& path, std::int64_t blocks);
  void FailSfvOpens() { fail_sfv_ = true; }
  // Counts the reads and posts made while this gate is paused (there must be none).
  void WatchPause(const PauseGate* gate);
  void ReleaseAll();

  Hold& listing_hold() { return listing_hold_; }
  Hold& read_hold() { return read_hold_; }
  int BlocksRead(const std::string& path) const;
  int VerifyOpens(const std::string& path) const;
  int ReadsWhilePaused() const;
  // The nice value of the thread that listed a directory last (-100 before any listing).
  int ListingThreadNice() const;

  // Called by the files this system hands out.
  void OnBlockRead(const std::string& path);

 private:
  mutable std::mutex mutex_;
  std::string hold_listing_;
  std::string hold_read_path_;
  int hold_read_block_ = 0;
  std::map<std::string, std::int64_t> large_files_;
  std::map<std::string, int> blocks_read_;
  std::map<std::string, int> verify_opens_;
  const PauseGate* watched_ = nullptr;
  int reads_while_paused_ = 0;
  int listing_nice_ = -100;
  std::atomic<bool> fail_sfv_{false};
  Hold listing_hold_;
  Hold read_hold_;
};

// Forwards to a queue; counts posts made while a watched pause gate is paused.
class PauseWatchingSink final : public ScanMessageSink {
 public:
  explicit PauseWatchingSink(ScanMessageQueue& queue) : queue_(queue) {}
  void Post(ScanMessage message) override;
  void WatchPause(const PauseGate* gate);
  int PostsWhilePaused() const;

 private:
  ScanMessageQueue& queue_;
  mutable std::mutex mutex_;
  const PauseGate* watched_ = nullptr;
  int posts_while_paused_ = 0;
};

// The CRC-32 of `data`, bit by bit, independent of the engine under test.
std::uint32_t ReferenceCrc32(std::string_view data);

}  // namespace qs::test
