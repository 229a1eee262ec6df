// The worker and its controller driven as the window drives them: real worker threads, timers
// ticked by hand, a display that records, a sleeper that never sleeps, holds in the file system
// where a test must catch the worker at a chosen point, and a real watcher on a temporary tree.
#include "scan/scan_controller.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "config/memory_settings_store.h"
#include "config/settings_keys.h"
#include "config/watch_list.h"
#include "platform/folder_watcher.h"
#include "scan/countdown_timer.h"
#include "scan/crc32_engine.h"
#include "scan/scan_display.h"
#include "scan/scan_message_queue.h"
#include "scan/scan_worker.h"
#include "scan/sleeper.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

using Strings = std::vector<std::string>;
using std::chrono::milliseconds;

class FakeDisplay final : public ScanDisplay {
 public:
  void SetStatusText(std::string_view text) override { statuses.emplace_back(text); }
  void SetCountdownText(std::string_view text) override { countdowns.emplace_back(text); }
  void SetProgressPercent(std::int64_t row, int column, std::int64_t percent) override {
    cells[row] = column == kProgressColumn ? percent : -2;
  }
  void SetFileProgress(std::int64_t percent) override { file_progress = percent; }
  std::size_t RowCount() const override { return 3; }
  std::string PostExecutionText() const override { return ""; }
  void ReportFailure(std::int64_t, std::string_view text) override { said.emplace_back(text); }
  std::string Status() const { return statuses.empty() ? "" : statuses.back(); }
  std::string Countdown() const { return countdowns.empty() ? "" : countdowns.back(); }

  Strings statuses, countdowns, said;
  std::map<std::int64_t, std::int64_t> cells;
  std::int64_t file_progress = -1;
};

class FakeTimer final : public CountdownTimer {
 public:
  void Start(milliseconds) override { running = true; }
  void Stop() override { running = false; }
  bool running = false;
};

class RecordingSleeper final : public Sleeper {
 public:
  void SleepFor(milliseconds duration) override { sleeps.push_back(duration); }
  std::vector<milliseconds> sleeps;
};

enum class State { kScanning, kScanPaused, kCounting, kCountPaused, kStopping };
enum class Event { kFinished, kForceStop, kForceStart, kPause, kStopped };
const char* const kStateNames[] = {"Scanning", "ScanPaused", "Counting", "CountPaused", "Stopping"};
const char* const kEventNames[] = {"Finished", "ForceStop", "ForceStart", "Pause", "Stopped"};

class ScanControllerTest : public ::testing::Test {
 protected:
  ScanControllerTest() {
    list_.Append({source_, temp_.MakeDir("out"), 1});
    WriteInt(settings_, Setting::ReScan, 3);
    controller_ = MakeController();
  }
  std::unique_ptr<ScanController> MakeController(FolderWatcher* watcher = nullptr) {
    return std::make_unique<ScanController>(ScanControllerSetup{
        {.watch_list = &list_, .sink = &queue_, .settings = &settings_, .fs = &fs_},
        &display_,
        &timer_,
        &sleeper_,
        nullptr,
        "",
        PassMode::kWindow,
        watcher,
        &change_timer_,
        [this] { return now_; }});
  }
  ~ScanControllerTest() override {
    fs_.read_hold.Release();
    fs_.listing_hold.Release();
    controller_->Shutdown();
  }

  // Dispatches the worker's messages up to and including the first `id`; WM_SCAN_STOPPED once
  // a stop has begun or a pass that ends normally runs.
  void RunUntil(std::uint32_t id) {
    for (bool found = false; !found;) {
      ScanMessage message = queue_.Take();
      found = message.id == id;
      controller_->Dispatch(std::move(message));
    }
  }

  // Runs `start`, which starts a worker, and holds the worker inside the read of block 3 of a
  // large volume: until it is asked to stop, or (`until_stopped` false) until the test lets go.
  template <typename Start>
  void StartHeld(Start start, bool until_stopped = true) {
    temp_.WriteFile("in/set/big.sfv", "big.bin 12345678\n");
    fs_.Serve(big_, {std::string(64 * Crc32Engine::kReadBlockSize, '\0'), 1 << 20});
    fs_.ResetCounts();
    fs_.HoldRead(big_, 3);
    start();
    fs_.read_hold.WaitEntered();
    if (until_stopped) {
      fs_.read_hold.ReleaseWhen(controller_->Worker()->hStopEvent);
    }
  }

  void Enter(State state, Event next) {
    sleeper_.sleeps.clear();
    switch (state) {
      case State::kScanning:
      case State::kScanPaused:
        StartHeld([this] { controller_->Initialise(); }, next != Event::kFinished);
        break;
      case State::kCounting:
      case State::kCountPaused:
        controller_->Initialise();
        RunUntil(WM_SCAN_STOPPED);
        sleeper_.sleeps.clear();
        break;
      default:  // Stopping, until the test hands WM_SCAN_STOPPED over
        StartHeld([this] { controller_->Initialise(); });
        controller_->OnForceStopScan();
    }
    if (state == State::kScanPaused || state == State::kCountPaused) {
      controller_->OnPauseButton();
    }
    controller_->OnScanRowProgress(2, 40);  // what every stop clears
  }

  void Apply(Event event) {
    const ScanWorker* worker = controller_->Worker();
    const std::string status = display_.Status();
    const std::int64_t countdown = controller_->Countdown();
    WriteInt(settings_, Setting::ReScan, 5);  // read at the next reload only
    switch (event) {
      case Event::kFinished:
        fs_.read_hold.Release();
        RunUntil(WM_SCAN_FINISHED);
        break;
      case Event::kStopped:
        RunUntil(WM_SCAN_STOPPED);
        break;
      case Event::kForceStop:
        controller_->OnForceStopScan();
        EXPECT_EQ(controller_->Countdown(), countdown) << "the countdown goes on from its value";
        break;
      case Event::kForceStart:
        if (worker != nullptr) {
          controller_->OnForceStartScan();
          EXPECT_EQ(controller_->Worker(), worker) << "a second worker was started";
        } else {
          StartHeld([this] { controller_->OnForceStartScan(); });
        }
        EXPECT_EQ(controller_->Countdown(), 5);
        EXPECT_EQ(display_.Countdown(), "0 s");
        break;
      case Event::kPause:
        controller_->OnPauseButton();
        EXPECT_TRUE(worker == nullptr || display_.Status() != status) << "the text toggles";
        break;
    }
  }

  // Checks every column of the state table for `state`.
  void ExpectState(State state) {
    SCOPED_TRACE(kStateNames[static_cast<int>(state)]);
    const bool scanning = state == State::kScanning || state == State::kScanPaused;
    const bool stopping = state == State::kStopping;
    EXPECT_EQ(controller_->HasWorker(), scanning || stopping);
    EXPECT_EQ(controller_->Stopping(), stopping);
    EXPECT_EQ(timer_.running, state == State::kCounting);
    if (scanning) {
      EXPECT_EQ(controller_->IsPaused(), state == State::kScanPaused);
      EXPECT_EQ(display_.Status(), state == State::kScanPaused ? "Paused" : "Running");
    } else if (!stopping) {
      EXPECT_EQ(display_.Status(), "Idle");
    }
    if (state == State::kStopping) {
      EXPECT_FALSE(controller_->Worker()->pause.IsPaused()) << "the stop could not reach it";
    }
    if (state == State::kCountPaused) {
      EXPECT_EQ(display_.Countdown(), std::to_string(controller_->Countdown()) + " s [paused]");
    }
  }

  test::TempDir temp_;
  std::string source_ = temp_.MakeDir("in");
  std::string big_ = temp_.Path("in/set/big.bin");
  std::string state_file_ = temp_.Path("in/set/") + kStateFileName;
  WatchList list_;
  MemorySettingsStore settings_;
  test::TestFileSystem fs_;
  ScanMessageQueue queue_;
  FakeDisplay display_;
  FakeTimer timer_, change_timer_;
  RecordingSleeper sleeper_;
  std::chrono::steady_clock::time_point now_{};
  std::unique_ptr<ScanController> controller_;
};

struct Transition {
  State from;
  Event event;
  State to;
};

class TransitionTest : public ScanControllerTest,
                       public ::testing::WithParamInterface<Transition> {};

// A stop keeps the worker until its WM_SCAN_STOPPED, which comes after a grace of 500 ms on the
// worker's thread, then counts down with every row cleared. A stop or an exit reaches a worker
// inside a large volume within one read block and writes no status.
TEST_P(TransitionTest, LeadsToTheStateOfTheTable) {
  const Transition& t = GetParam();
  Enter(t.from, t.event);
  ExpectState(t.from);
  Apply(t.event);
  ExpectState(t.to);
  if (t.to == State::kStopping && !HasFailure()) {
    Apply(Event::kStopped);
    ExpectState(State::kCounting);
    EXPECT_EQ(sleeper_.sleeps, std::vector<milliseconds>{milliseconds(500)});
  }
  if (t.to == State::kStopping || t.event == Event::kForceStop) {
    EXPECT_EQ(display_.cells, (std::map<std::int64_t, std::int64_t>{{0, 0}, {1, 0}, {2, 0}}));
    EXPECT_EQ(display_.file_progress, 0);
  }
  if (t.event == Event::kForceStop && fs_.blocks.count(big_) != 0) {
    EXPECT_LE(fs_.blocks[big_], 4);
    EXPECT_EQ(test::ReadFile(state_file_), "big.bin 0\r\n");
  }
}

const Transition kTransitions[] = {
    {State::kScanning, Event::kFinished, State::kStopping},
    {State::kScanning, Event::kForceStop, State::kStopping},
    {State::kScanning, Event::kPause, State::kScanPaused},
    {State::kScanPaused, Event::kPause, State::kScanning},
    {State::kScanPaused, Event::kForceStop, State::kStopping},
    {State::kCounting, Event::kForceStart, State::kScanning},
    {State::kCounting, Event::kPause, State::kCountPaused},
    {State::kCountPaused, Event::kPause, State::kCounting},
    {State::kCountPaused, Event::kForceStart, State::kScanning},
    {State::kCountPaused, Event::kForceStop, State::kCounting},
    // While a worker exists, also during its stop, Force start only touches the countdown;
    // during the stop Force stop starts no second stop and P only toggles the text.
    {State::kScanning, Event::kForceStart, State::kScanning},
    {State::kStopping, Event::kForceStart, State::kStopping},
    {State::kStopping, Event::kForceStop, State::kStopping},
    {State::kStopping, Event::kPause, State::kStopping}};

INSTANTIATE_TEST_SUITE_P(EveryRow, TransitionTest, ::testing::ValuesIn(kTransitions),
                         [](const auto& info) {
                           return std::string(kStateNames[static_cast<int>(info.param.from)]) +
                                  "_" + kEventNames[static_cast<int>(info.param.event)];
                         });

// The countdown starts at ReScan (3) after the first pass, which runs at once. ReScan 0 counts
// into negative numbers and starts no pass.
TEST_F(ScanControllerTest, CountdownTextsForReScanThreeThenZero) {
  StartHeld([this] { controller_->Initialise(); }, false);
  fs_.read_hold.Release();
  RunUntil(WM_SCAN_STOPPED);
  EXPECT_TRUE(display_.countdowns.empty());
  controller_->OnCountdownTimer(kCountdownTimerId + 1);  // another timer's tick
  WriteInt(settings_, Setting::ReScan, 0);
  controller_->OnCountdownTimer(kCountdownTimerId);
  controller_->OnCountdownTimer(kCountdownTimerId);
  EXPECT_FALSE(controller_->HasWorker());
  StartHeld([this] { controller_->OnCountdownTimer(kCountdownTimerId); });
  controller_->OnForceStopScan();
  RunUntil(WM_SCAN_STOPPED);
  for (int tick = 0; tick < 3; ++tick) {
    controller_->OnCountdownTimer(kCountdownTimerId);
  }
  EXPECT_EQ(display_.countdowns, (Strings{"2 s", "1 s", "0 s", "-1 s", "-2 s", "-3 s"}));
  EXPECT_FALSE(controller_->HasWorker());
}

// Passes started by change notifications: a row starts a pass once its changes have settled
// for 2 s, or 10 s after its first change at the latest, as Force start does.
class ChangeTriggerTest : public ScanControllerTest {
 protected:
  ChangeTriggerTest() { WriteInt(settings_, Setting::ReScan, 300); }
  void Start(FolderWatcher::AddWatchFunction add_watch = nullptr) {
    watcher_ = std::make_unique<FolderWatcher>(Strings{kStateFileName}, Strings{}, add_watch);
    controller_ = MakeController(watcher_.get());
    controller_->Initialise();
  }
  void Arrive(const std::string& name) {
    temp_.WriteFile("in/" + name, "x");
    controller_->OnFolderChanges();
  }
  // Moves the clock on and fires the change timer as the loop would when it runs.
  bool StartsAfter(std::chrono::nanoseconds wait) {
    now_ += wait;
    if (change_timer_.running) {
      controller_->OnChangeTimer();
    }
    return controller_->HasWorker();
  }

  std::unique_ptr<FolderWatcher> watcher_;
};

TEST_F(ChangeTriggerTest, APassStartsOnceTheRowSettlesOrHasWaitedLongEnough) {
  const std::pair<std::vector<int>, int> cases[] = {
      // arrivals and start, in ms after the first arrival
      {{}, 2000},
      {{1500}, 3500},
      {{1500, 3000, 4500, 6000, 7500, 9000}, 10000}};
  for (const auto& [arrivals, start] : cases) {
    SCOPED_TRACE(start);
    Start();
    RunUntil(WM_SCAN_STOPPED);
    const auto first = now_;
    Arrive("a.rar");
    for (int at : arrivals) {
      EXPECT_FALSE(StartsAfter(first + milliseconds(at) - now_));
      Arrive("a.rar");
    }
    EXPECT_FALSE(StartsAfter(first + milliseconds(start - 1) - now_));
    EXPECT_TRUE(StartsAfter(milliseconds(1)));
    EXPECT_EQ(controller_->Countdown(), 300);  // reloaded, as Force start does
    RunUntil(WM_SCAN_STOPPED);
    EXPECT_FALSE(change_timer_.running);
  }
}

// Changes during a pass give one more pass after it, not one after every pass.
TEST_F(ChangeTriggerTest, ChangesDuringAPassGiveOneMorePassAfterIt) {
  fs_.HoldListing(source_);
  Start();
  fs_.listing_hold.WaitEntered();
  Arrive("a.rar");
  now_ += milliseconds(5000);
  EXPECT_FALSE(change_timer_.running);  // no second worker beside the one running
  fs_.listing_hold.Release();
  RunUntil(WM_SCAN_STOPPED);
  EXPECT_TRUE(StartsAfter(milliseconds(0)));
  RunUntil(WM_SCAN_STOPPED);
  EXPECT_FALSE(StartsAfter(milliseconds(20000)));
}

// The triggered pass walks only the changed folders and those above them.
TEST_F(ChangeTriggerTest, TheTriggeredPassWalksOnlyTheChangedFoldersAndThoseAbove) {
  temp_.WriteFile("in/a/x.sfv", "sub\\v.rar " + test::CrcText("volume") + "\n");
  temp_.WriteFile("in/b/y.sfv", "w.rar 00000000\n");
  temp_.MakeDir("in/a/sub");
  Start();
  RunUntil(WM_SCAN_STOPPED);
  fs_.ResetCounts();
  temp_.WriteFile("in/a/sub/v.rar", "volume");  // named by the SFV file in the folder above
  controller_->OnFolderChanges();
  ASSERT_TRUE(StartsAfter(milliseconds(2000)));
  RunUntil(WM_SCAN_STOPPED);
  EXPECT_EQ(fs_.verified[temp_.Path("in/a/sub/v.rar")], 1);
  EXPECT_EQ(fs_.read.count(temp_.Path("in/b/y.sfv")), 0u);
}

// Nothing starts while the countdown is paused, nor with ScanOnChange off, which the next tick
// reads again.
TEST_F(ChangeTriggerTest, NothingStartsWhilePausedNorWithTheSettingOff) {
  Start();
  RunUntil(WM_SCAN_STOPPED);
  controller_->OnPauseButton();
  Arrive("a.rar");
  EXPECT_FALSE(StartsAfter(milliseconds(15000)));
  controller_->OnPauseButton();
  EXPECT_TRUE(StartsAfter(milliseconds(0)));
  RunUntil(WM_SCAN_STOPPED);
  WriteInt(settings_, Setting::ScanOnChange, 0);
  Arrive("b.rar");
  EXPECT_FALSE(StartsAfter(milliseconds(15000)));
  EXPECT_EQ(watcher_->WatchedFolders(), 0u);
  WriteInt(settings_, Setting::ScanOnChange, 1);
  controller_->OnCountdownTimer(kCountdownTimerId);
  EXPECT_EQ(watcher_->WatchedFolders(), 1u);
}
// The kernel's refusal of more watches (simulated) is said once, with both counts; the
// countdown covers the folders left out.
TEST_F(ChangeTriggerTest, AtTheWatchLimitTheCountsAreSaidOnce) {
  temp_.MakeDir("in/a");
  temp_.MakeDir("in/b");
  int granted = 0;
  Start([&granted](int fd, const char* path, std::uint32_t mask) {
    if (++granted > 2) {
      errno = ENOSPC;
      return -1;
    }
    return ::inotify_add_watch(fd, path, mask);
  });
  RunUntil(WM_SCAN_STOPPED);
  temp_.MakeDir("in/c");  // refused too, once its parent reports it
  controller_->OnFolderChanges();
  ASSERT_EQ(display_.said.size(), 1u);
  EXPECT_NE(display_.said[0].find("2 folders watched, 1 not"), std::string::npos)
      << display_.said[0];
}
// A read on a hung mount never returns: an exit gives up on the worker after its bound and leaves
// it behind, and the worker frees its own block once the read does return.
TEST(ScanWorker, AnExitLeavesAWorkerStuckInAReadBehind) {
  static ScanMessageQueue queue;
  static ManualResetEvent& read_returns = *new ManualResetEvent;
  static ManualResetEvent& thread_ended = *new ManualResetEvent;
  auto worker = std::make_unique<ScanWorker>(ScanServices{.sink = &queue});
  worker->pThread = std::thread([block = worker.get()] {
    read_returns.Wait();
    EndWorkerThread(block);
    thread_ended.Set();
  });
  EXPECT_FALSE(StopScanWorkerWithin(std::move(worker), milliseconds(50)));
  read_returns.Set();
  thread_ended.Wait();  // the block is gone, as the sanitizer build's leak checker sees
}

}  // namespace
}  // namespace qs
