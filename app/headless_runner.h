// The program without a display: scan passes on the countdown (or one pass) driven by the same
// controller as the window, shown in the terminal.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>

#include "scan/scan_message_queue.h"

namespace qs {

class FileSystem;
class SettingsStore;
class WatchList;
class WatchListEditor;

struct HeadlessSetup {
  WatchList* list = nullptr;
  WatchListEditor* editor = nullptr;  // loads dirs.cfg at start, saves it at the end
  SettingsStore* settings = nullptr;
  FileSystem* fs = nullptr;
  std::string executable_directory;  // where the companion program lives
  std::FILE* out = stdout;
  bool live = false;  // a live status line (standard output is a terminal)
};

class HeadlessRunner {
 public:
  explicit HeadlessRunner(HeadlessSetup setup);

  // Passes on the countdown until RequestQuit; then stops the worker, saves dirs.cfg and
  // returns 0.
  int RunContinuous();
  // One pass: 0 after a normal end, 1 after an early end (or a quit request).
  int RunOnce();

  // Any thread (the signal watcher's).
  void RequestQuit();

 private:
  void Wake();
  // Waits until woken or until `deadline`.
  template <class TimePoint>
  void WaitUntil(TimePoint deadline);

  // Passes every message to the queue, but wakes the runner only for those that cannot wait for
  // its next look (a complete set, the end of a pass): progress is shown at the poll's pace, so
  // a set of thousands of small files costs no wake-up per file.
  class Sink final : public ScanMessageSink {
   public:
    explicit Sink(HeadlessRunner& runner) : runner_(runner) {}
    void Post(ScanMessage message) override;

   private:
    HeadlessRunner& runner_;
  };

  HeadlessSetup setup_;
  ScanMessageQueue queue_;
  Sink sink_{*this};
  std::mutex wake_mutex_;
  std::condition_variable wake_;
  bool woken_ = false;
  std::atomic<bool> quit_{false};
};

}  // namespace qs
