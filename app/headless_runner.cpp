#include "app/headless_runner.h"

#include <sys/stat.h>

#include <chrono>
#include <ctime>
#include <optional>

#include "app/terminal_display.h"
#include "config/settings_keys.h"
#include "config/watch_list.h"
#include "config/watch_list_editor.h"
#include "platform/event_log.h"
#include "platform/file_system.h"
#include "platform/folder_watcher.h"
#include "scan/change_trigger.h"
#include "scan/companion_completion.h"
#include "scan/countdown_timer.h"
#include "scan/scan_controller.h"

namespace qs {

namespace {

using Clock = std::chrono::steady_clock;

// With no timer running the loop still looks at the worker this often, to notice a pass that
// ended early (which posts nothing).
constexpr auto kWorkerPoll = std::chrono::milliseconds(250);

// The countdown timer of the runner's own loop: it only remembers when the next tick is due.
class LoopTimer final : public CountdownTimer {
 public:
  void Start(std::chrono::milliseconds period) override {
    period_ = period;
    next_tick_ = Clock::now() + period;
  }
  void Stop() override { next_tick_.reset(); }

  std::optional<Clock::time_point> next_tick() const { return next_tick_; }
  // True when a tick is due; schedules the one after it.
  bool TakeDueTick(Clock::time_point now) {
    if (!next_tick_ || now < *next_tick_)
      return false;
    *next_tick_ += period_;
    if (*next_tick_ < now)
      *next_tick_ = now + period_;  // after a suspend, no burst of ticks
    return true;
  }

 private:
  std::chrono::milliseconds period_{kCountdownPeriod};
  std::optional<Clock::time_point> next_tick_;
};

// What tells that dirs.cfg changed, so that edits made by --add, --remove and --include in
// another process reach the running runner: the file's identity, which every writer's rename
// changes, then its time and size (an edit in place); nullopt when the file cannot be looked
// at. Time and size alone miss an --include toggle within one tick of a coarse clock.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  std::int64_t seconds = 0;
  long nanoseconds = 0;
  off_t size = 0;
  bool operator==(const FileStamp&) const = default;
};

std::optional<FileStamp> LastChange(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0)
    return std::nullopt;
  return FileStamp{info.st_dev, info.st_ino, info.st_mtim.tv_sec, info.st_mtim.tv_nsec,
                   info.st_size};
}

double ThreadCpuSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace

HeadlessRunner::HeadlessRunner(const HeadlessSetup& setup)
    : setup_(setup), wait_(setup_.quit_on_signals) {}

void HeadlessRunner::Sink::Post(ScanMessage message) {
  const bool urgent = message.id == WM_SCAN_SETCOMPLETE || message.id == WM_SCAN_FINISHED ||
                      message.id == WM_SCAN_STOPPED;
  runner_.queue_.Post(std::move(message));
  if (urgent)
    runner_.wait_.Wake();
}

void HeadlessRunner::RequestQuit() {
  quit_.store(true);
  wait_.Wake();
}

bool HeadlessRunner::WaitUntil(Clock::time_point deadline, int fd) {
  const LoopWait::Result result = wait_.WaitUntil(deadline, fd);
  if (result.quit_signal)
    quit_.store(true);
  return result.readable;
}

int HeadlessRunner::Run(PassMode mode) {
  const bool one_pass = mode == PassMode::kOnePass;
  const std::string& dirs_path = setup_.editor->dirs_path();
  auto loaded_change = LastChange(dirs_path);
  setup_.editor->LoadDirs();
  std::size_t row_count = setup_.list->Count();
  const AppServices& services = setup_.services;
  TerminalDisplay display(setup_.out, setup_.live,
                          ReadText(services.settings, Setting::PostExecution), &row_count);
  CompanionCompletion completion(services.settings, services.fs, sink_,
                                 services.executable_directory);
  LoopTimer timer;
  // Change notifications beside the countdown; a single pass walks everything anyway.
  LoopTimer change_timer;
  const std::unique_ptr<FolderWatcher> watcher = one_pass ? nullptr : NewFolderWatcher();
  ScanController controller({services.ForScan(*setup_.list, sink_, completion), &display, &timer,
                             nullptr, nullptr, setup_.report_path, mode, watcher.get(),
                             &change_timer});

  if (!one_pass) {
    display.Print("Watching " + std::to_string(row_count) + " entries of " +
                  setup_.editor->dirs_path());
  }
  // The watches are set up before the first pass starts; on a busy machine the processor
  // time tells more than the time on the clock.
  const auto setup_start = Clock::now();
  const double setup_cpu_start = ThreadCpuSeconds();
  controller.Initialise();
  if (watcher && watcher->WatchedFolders() > 0) {
    const auto taken =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - setup_start);
    const auto cpu = static_cast<long>((ThreadCpuSeconds() - setup_cpu_start) * 1000);
    display.Print("Watching " + std::to_string(watcher->WatchedFolders()) +
                  " folders for changes (set up in " + std::to_string(taken.count()) + " ms, " +
                  std::to_string(cpu) + " ms of processor time)");
  }

  // A pass that ends early posts nothing and leaves the window waiting for the user's "Force
  // stop scan". Unattended, nobody would press it: the runner does it itself (the pass has said
  // why, as a failure), so the countdown goes on or the one pass is over.
  while (!quit_.load() && controller.Outcome() == PassOutcome::kUnderWay) {
    const auto now = Clock::now();
    auto deadline = now + kWorkerPoll;
    for (const LoopTimer* due : {&timer, &change_timer}) {
      if (due->next_tick() && *due->next_tick() < deadline)
        deadline = *due->next_tick();
    }
    const bool changed = WaitUntil(deadline, watcher ? watcher->Fd() : -1);

    ScanMessage message;
    while (queue_.TryTake(message))
      controller.Dispatch(std::move(message));
    if (quit_.load())
      break;

    // The file is the master copy: an edit from another process takes effect at once (the list
    // is shared with the worker under its lock, as the window's reloads are).
    if (const auto change = LastChange(dirs_path); !one_pass && change && change != loaded_change) {
      loaded_change = change;
      setup_.editor->LoadDirs();
    }
    row_count = setup_.list->Count();
    if (changed)
      controller.OnFolderChanges();
    if (timer.TakeDueTick(Clock::now()))
      controller.OnCountdownTimer(kCountdownTimerId);
    if (change_timer.TakeDueTick(Clock::now()))
      controller.OnChangeTimer();
    if (controller.PassEndedEarly())
      controller.OnForceStopScan();
  }

  // At most kExitStopLimit for the worker to leave its pass; what it posted until then is still
  // handled.
  controller.Shutdown();
  ScanMessage message;
  while (queue_.TryTake(message))
    controller.Dispatch(std::move(message));
  if (one_pass) {
    const PassOutcome outcome = controller.Outcome();
    if (outcome == PassOutcome::kUnderWay || outcome == PassOutcome::kEndedEarly)
      display.Print("Pass ended early");
    display.Finish();
    return outcome == PassOutcome::kFinished ? 0 : 1;
  }
  display.Finish();
  // The runner never changes the list itself. A file that another process changed since the
  // last look holds the newer list and is left as it is; otherwise the list is saved.
  if (const auto change = LastChange(dirs_path); change && change != loaded_change)
    return 0;
  const bool saved = setup_.editor->SaveDirs();
  return saved ? 0 : 1;
}

}  // namespace qs
