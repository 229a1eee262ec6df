// The program without a display: scan passes on the countdown (or one pass) driven by the same
// controller as the window, shown in the terminal.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>

#include "app/app_services.h"
#include "platform/loop_wait.h"
#include "scan/scan_controller.h"
#include "scan/scan_message_queue.h"

namespace qs {

class WatchList;
class WatchListEditor;

struct HeadlessSetup {
  const AppServices& services;
  WatchList* list = nullptr;
  WatchListEditor* editor = nullptr;  // loads dirs.cfg at start, saves it at the end
  std::FILE* out = stdout;
  bool live = false;  // a live status line (standard output is a terminal)
  // SIGINT and SIGTERM quit as RequestQuit does. They are blocked from the runner's creation
  // on, in its thread and every thread started after it: create the runner before any other.
  bool quit_on_signals = false;
  std::string report_path;  // where the last pass's reports go; empty: nowhere
};

class HeadlessRunner {
 public:
  // `setup` must outlive the runner.
  explicit HeadlessRunner(const HeadlessSetup& setup);

  // kHeadless: passes on the countdown until RequestQuit; then stops the worker, saves dirs.cfg
  // and returns 0. kOnePass: one pass, 0 after a normal end, 1 after an early end (or a quit
  // request). Both through one controller, as the window drives it.
  int Run(PassMode mode);

  // Any thread.
  void RequestQuit();

 private:
  // Waits until woken, a quit signal, `deadline` or `fd` readable (then true).
  bool WaitUntil(std::chrono::steady_clock::time_point deadline, int fd);

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

  const HeadlessSetup& setup_;
  ScanMessageQueue queue_;
  Sink sink_{*this};
  LoopWait wait_;
  std::atomic<bool> quit_{false};
};

}  // namespace qs
