// The worker and its controller driven as the window drives them: real worker threads, a timer
// ticked by hand, a display that records, a sleeper that never sleeps, and holds in the file
// system where a test must catch the worker at a chosen point.
#include "scan/scan_controller.h"

#include <sys/resource.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "config/memory_settings_store.h"
#include "config/settings_keys.h"
#include "config/watch_list.h"
#include "scan/countdown_timer.h"
#include "scan/crc32_engine.h"
#include "scan/scan_display.h"
#include "scan/scan_message_queue.h"
#include "scan/scan_worker.h"
#include "scan/sleeper.h"
#include "tests/scan/scan_test_support.h"

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
  std::string PostExecutionText() const override { return post_execution; }
  void SetRowReport(std::int64_t row, const RowReport& report) override { reports[row] = report; }
  void ReportFailure(std::int64_t, std::string_view text) override { failures.emplace_back(text); }
  std::string Status() const { return statuses.empty() ? "" : statuses.back(); }
  std::string Countdown() const { return countdowns.empty() ? "" : countdowns.back(); }

  Strings statuses, countdowns, failures;
  std::map<std::int64_t, std::int64_t> cells;
  std::map<std::int64_t, RowReport> reports;
  std::int64_t file_progress = -1;
  std::string post_execution;
};

class FakeTimer final : public CountdownTimer {
 public:
  void Start(milliseconds interval) override {
    running = true;
    period = interval;
    ++starts;
  }
  void Stop() override { running = false; }
  bool running = false;
  milliseconds period{0};
  int starts = 0;
};

class RecordingSleeper final : public Sleeper {
 public:
  void SleepFor(milliseconds duration) override { sleeps.push_back(duration); }
  std::vector<milliseconds> sleeps;
};

enum class State { kScanning, kScanPaused, kCounting, kCountPaused, kEnded, kStopping, kExited };
enum class Event { kFinished, kForceStop, kForceStart, kPause, kTick, kLate, kStopped, kExit };
const char* const kStateNames[] = {"Scanning", "ScanPaused", "Counting", "CountPaused",
                                   "Ended",    "Stopping",   "Exited"};
const char* const kEventNames[] = {"Finished", "ForceStop",  "ForceStart", "Pause",
                                   "Tick",     "LateFinish", "Stopped",    "Exit"};

class ScanControllerTest : public ::testing::Test {
 protected:
  ScanControllerTest() {
    list_.Append({source_, temp_.MakeDir("out"), 1});
    WriteInt(settings_, Setting::ReScan, 3);
    controller_ = MakeController(PassMode::kWindow);
  }
  std::unique_ptr<ScanController> MakeController(PassMode mode) {
    return std::make_unique<ScanController>(ScanControllerSetup{
        {.watch_list = &list_, .sink = &queue_, .settings = &settings_, .fs = &fs_},
        &display_,
        &timer_,
        &sleeper_,
        [this](const Strings& arguments) {
          started_.push_back(arguments);
          return kErrorSuccess;
        },
        temp_.Path("report"),
        mode});
  }
  ~ScanControllerTest() override {
    fs_.read_hold.Release();
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
      case State::kEnded:  // an SFV file that cannot be opened ends the pass early
        temp_.WriteFile("in/x.sfv", "a.rar 00000000\n");
        fs_.fail_open = [](const std::string& path) {
          return path.ends_with(".sfv") ? kErrorAccessDenied : kErrorSuccess;
        };
        controller_->Initialise();
        controller_->Worker()->hDoneEvent.Wait();
        break;
      case State::kStopping:  // until the test hands WM_SCAN_STOPPED over
        StartHeld([this] { controller_->Initialise(); });
        controller_->OnForceStopScan();
        break;
      case State::kExited:
        FAIL() << "not a starting state";
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
      case Event::kTick:
        while (controller_->Countdown() > 1) {
          controller_->OnCountdownTimer(kCountdownTimerId);
          ASSERT_FALSE(controller_->HasWorker());
        }
        StartHeld([this] { controller_->OnCountdownTimer(kCountdownTimerId); });
        EXPECT_EQ(controller_->Countdown(), 5);
        break;
      case Event::kLate:  // of a worker released earlier
        controller_->Dispatch(ScanMessage{WM_SCAN_FINISHED, 0, 0, nullptr});
        break;
      case Event::kExit:
        controller_->Shutdown();
        // Afterwards nothing starts, and what comes late changes nothing.
        const Strings statuses = display_.statuses;
        controller_->OnCountdownTimer(kCountdownTimerId);
        controller_->OnForceStartScan();
        controller_->Dispatch(ScanMessage{WM_SCAN_FINISHED, 0, 0, nullptr});
        EXPECT_EQ(display_.statuses, statuses);
        break;
    }
  }

  // Checks every column of the state table for `state`.
  void ExpectState(State state) {
    SCOPED_TRACE(kStateNames[static_cast<int>(state)]);
    const bool scanning = state == State::kScanning || state == State::kScanPaused;
    const bool ended = state == State::kEnded || state == State::kStopping;
    EXPECT_EQ(controller_->HasWorker(), scanning || ended);
    EXPECT_EQ(controller_->Stopping(), state == State::kStopping);
    if (state != State::kStopping) {
      EXPECT_EQ(controller_->WorkerEnded(), state == State::kEnded);
    }
    EXPECT_EQ(timer_.running, state == State::kCounting);
    EXPECT_EQ(controller_->CountdownRunning(), state == State::kCounting);
    if (state != State::kEnded) {
      EXPECT_FALSE(controller_->PassEndedEarly()) << "an unattended runner would stop it again";
    }
    if (scanning) {
      EXPECT_EQ(controller_->IsPaused(), state == State::kScanPaused);
      EXPECT_EQ(display_.Status(), state == State::kScanPaused ? "Paused" : "Running");
    } else if (ended) {
      EXPECT_TRUE(display_.Status() == "Running" || display_.Status() == "Paused");
    } else if (state != State::kExited) {
      EXPECT_EQ(display_.Status(), "Idle");
      EXPECT_EQ(timer_.period, kCountdownPeriod);
    }
    if (state == State::kStopping) {
      EXPECT_FALSE(controller_->Worker()->pause.IsPaused()) << "the stop could not reach it";
    }
    if (state == State::kCountPaused) {
      EXPECT_EQ(display_.Countdown(), std::to_string(controller_->Countdown()) + " s [paused]");
    }
  }

  // One set of three volumes, the middle one with a wrong CRC, so its state file stays behind.
  std::string WriteSetOfThree() {
    const std::string a(4 * Crc32Engine::kReadBlockSize + 17, 'a');
    const std::string c(3 * Crc32Engine::kReadBlockSize, 'c');
    temp_.WriteFile("in/set/b.bin", "bbbb");
    temp_.WriteFile("in/set/c.bin", c);
    temp_.WriteFile("in/set/x.sfv", "a.bin " + test::CrcText(a) + "\nb.bin " +
                                        test::CrcText("bbbX") + "\nc.bin " + test::CrcText(c));
    fs_.Serve(temp_.Path("in/set/a.bin"), {a, 1 << 20});  // read block by block
    return temp_.Path("in/set/a.bin");
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
  FakeTimer timer_;
  RecordingSleeper sleeper_;
  std::vector<Strings> started_;
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
// inside a large volume within one read block and writes no status; an exit waits no grace.
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
  if (t.event == Event::kExit && t.from != State::kStopping) {
    EXPECT_TRUE(sleeper_.sleeps.empty());
  }
  if ((t.event == Event::kExit || t.event == Event::kForceStop) && fs_.blocks.count(big_) != 0) {
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
    {State::kEnded, Event::kForceStop, State::kStopping},
    {State::kEnded, Event::kPause, State::kEnded},
    {State::kCounting, Event::kTick, State::kScanning},
    {State::kCounting, Event::kForceStart, State::kScanning},
    {State::kCounting, Event::kPause, State::kCountPaused},
    {State::kCountPaused, Event::kPause, State::kCounting},
    {State::kCountPaused, Event::kForceStart, State::kScanning},
    {State::kCountPaused, Event::kForceStop, State::kCounting},
    // While a worker exists, also during its stop, Force start only touches the countdown;
    // during the stop Force stop starts no second stop and P only toggles the text.
    {State::kScanning, Event::kForceStart, State::kScanning},
    {State::kScanPaused, Event::kForceStart, State::kScanPaused},
    {State::kEnded, Event::kForceStart, State::kEnded},
    {State::kStopping, Event::kForceStart, State::kStopping},
    {State::kStopping, Event::kForceStop, State::kStopping},
    {State::kStopping, Event::kPause, State::kStopping},
    {State::kScanning, Event::kLate, State::kScanning},
    {State::kScanning, Event::kExit, State::kExited},
    {State::kScanPaused, Event::kExit, State::kExited},
    {State::kEnded, Event::kExit, State::kExited},
    {State::kStopping, Event::kExit, State::kExited},
    {State::kCounting, Event::kExit, State::kExited},
    {State::kCountPaused, Event::kExit, State::kExited}};

INSTANTIATE_TEST_SUITE_P(EveryRow, TransitionTest, ::testing::ValuesIn(kTransitions),
                         [](const auto& info) {
                           return std::string(kStateNames[static_cast<int>(info.param.from)]) +
                                  "_" + kEventNames[static_cast<int>(info.param.event)];
                         });

// The countdown starts at ReScan (3) after the first pass, which runs at once. ReScan 0 counts
// into negative numbers and starts no pass.
TEST_F(ScanControllerTest, CountdownTextsForReScanThreeThenZero) {
  StartHeld([this] { controller_->Initialise(); }, false);
  EXPECT_EQ(display_.statuses, Strings{"Running"});
  EXPECT_EQ(timer_.starts, 0);
  fs_.read_hold.Release();
  RunUntil(WM_SCAN_STOPPED);
  EXPECT_TRUE(display_.countdowns.empty());
  EXPECT_EQ(fs_.listing_thread_nice, std::min(::getpriority(PRIO_PROCESS, 0) + 1, 19));
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

// A pass that ended normally just before "Force stop scan": its messages, handled during the
// stop, still keep its reports, and the countdown follows the stop.
TEST_F(ScanControllerTest, AFinishHandledDuringAForceStopStillKeepsTheReports) {
  controller_->Initialise();
  std::vector<ScanMessage> queued;
  do {
    queued.push_back(queue_.Take());
  } while (queued.back().id != WM_SCAN_FINISHED);
  controller_->OnForceStopScan();
  for (ScanMessage& message : queued) {
    controller_->Dispatch(std::move(message));
  }
  EXPECT_TRUE(controller_->Stopping());
  RunUntil(WM_SCAN_STOPPED);
  EXPECT_EQ(display_.Status(), "Idle");
  EXPECT_TRUE(timer_.running);
  EXPECT_EQ(display_.cells[0], 0);
  EXPECT_EQ(test::ReadFile(temp_.Path("report")).substr(0, 7), "Row 0: ");
}

// The window counts down to the next pass and ignores what comes after its exit; the headless
// runner still starts a set completed before its exit, with the field as it is then; one pass
// counts down to nothing, an exit during its stop ends it as the stop would, and a pass that
// ends normally while it exits still counts as finished.
TEST_F(ScanControllerTest, EachModeEndsItsPassAndTreatsLateMessagesItsOwnWay) {
  const struct {
    PassMode mode;
    PassOutcome after_pass, after_force_stop;
    int countdowns;
    std::size_t late_starts;
  } cases[] = {{PassMode::kWindow, PassOutcome::kUnderWay, PassOutcome::kUnderWay, 2, 0},
               {PassMode::kHeadless, PassOutcome::kUnderWay, PassOutcome::kUnderWay, 2, 1},
               {PassMode::kOnePass, PassOutcome::kFinished, PassOutcome::kEndedEarly, 0, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    timer_.starts = 0;
    started_.clear();
    display_.post_execution.clear();
    controller_ = MakeController(c.mode);
    controller_->Initialise();
    RunUntil(WM_SCAN_FINISHED);
    EXPECT_EQ(controller_->Outcome(), PassOutcome::kUnderWay);
    RunUntil(WM_SCAN_STOPPED);
    EXPECT_EQ(controller_->Outcome(), c.after_pass);
    controller_ = MakeController(c.mode);
    controller_->Initialise();
    controller_->OnForceStopScan();
    controller_->Shutdown();
    EXPECT_EQ(controller_->Outcome(), c.after_force_stop);
    EXPECT_EQ(timer_.starts, c.countdowns);
    for (ScanMessage message; queue_.TryTake(message);) {
    }

    controller_ = MakeController(c.mode);
    controller_->Shutdown();
    display_.post_execution = "unpack %1";
    controller_->Dispatch(
        ScanMessage{WM_SCAN_SETCOMPLETE, 0, 0,
                    std::make_unique<SetCompleteTexts>(SetCompleteTexts{"/a/x.sfv", "/a/x.rar"})});
    controller_->Dispatch(ScanMessage{WM_SCAN_FINISHED, 0, 0, nullptr});
    EXPECT_EQ(started_, std::vector<Strings>(c.late_starts, Strings{"unpack", "/a/"}));
    EXPECT_EQ(controller_->Outcome(), c.after_pass);
    EXPECT_EQ(timer_.starts, c.countdowns);
  }
}

// A paused pass reads nothing and keeps its volume open; the report of each row and each
// failure reach the display, and the reports of a pass that ended normally are kept for --status.
TEST_F(ScanControllerTest, PauseFreezesThePassAndItsReportsReachTheDisplay) {
  const std::string a = WriteSetOfThree();
  fs_.HoldRead(a, 2);
  controller_->Initialise();
  fs_.read_hold.WaitEntered();
  fs_.WatchPause(&controller_->Worker()->pause);
  controller_->OnPauseButton();
  fs_.read_hold.Release();
  // Whatever the worker did meanwhile, the window's thread is free.
  for (ScanMessage message; queue_.TryTake(message);) {
    controller_->Dispatch(std::move(message));
  }
  EXPECT_EQ(display_.Status(), "Paused");
  controller_->OnPauseButton();
  EXPECT_EQ(display_.Status(), "Running");
  RunUntil(WM_SCAN_STOPPED);
  EXPECT_EQ(fs_.reads_while_paused, 0);
  EXPECT_EQ(fs_.verified[a], 1) << "the paused volume was opened again";
  EXPECT_EQ(fs_.blocks[a], 5);
  EXPECT_EQ(test::ReadFile(state_file_), "a.bin 1\r\nb.bin 0\r\nc.bin 1\r\n");
  EXPECT_EQ(display_.failures,
            Strings{"CRC mismatch: " + temp_.Path("in/set/b.bin") + " (expected " +
                    test::CrcText("bbbX") + ", computed " + test::CrcText("bbbb") + ")"});
  ASSERT_EQ(display_.reports.count(0), 1u);
  EXPECT_EQ(FormatRowReport(display_.reports[0]), "0 sets complete\n1 failed:\n  x.sfv (b.bin)");
  EXPECT_EQ(test::ReadFile(temp_.Path("report")),
            "Row 0: " + source_ + " -> " + temp_.Path("out") +
                "\n  0 sets complete\n  1 failed:\n    x.sfv (b.bin)\n");
}

// An exit waits about a second for a worker, then leaves one stuck in a read (a hung mount)
// behind; the thread deletes its block once the read returns. The events are never destroyed:
// the thread left behind may still be inside Set() when the test and then the process end.
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
  thread_ended.Wait();  // the block is gone, as the leak checker of the sanitizer build sees
}

// Each poster's messages come in its order with their texts; a burst into an undrained queue
// wakes its receiver once, and the first post after the drain wakes it again.
TEST(ScanMessageQueue, KeepsEachPostersOrderAndWakesOnlyAnEmptyQueue) {
  ScanMessageQueue queue;
  std::atomic<int> wakes{0};
  auto poster = [&queue](std::int64_t thread) {
    for (int i = 0; i < 2000; ++i) {
      queue.Post(ScanMessage{WM_SCAN_ROWPROGRESS, thread, i,
                             std::make_unique<SetCompleteTexts>(SetCompleteTexts{"", "x"})});
    }
  };
  std::thread first(poster, 0);
  std::thread second(poster, 1);
  std::int64_t next[2] = {0, 0};
  for (int taken = 0; taken < 4000; ++taken) {
    const ScanMessage message = queue.Take();
    ASSERT_EQ(message.lparam, next[message.wparam]++) << "thread " << message.wparam;
    ASSERT_EQ(message.texts->volume_text, "x");
  }
  first.join();
  second.join();
  queue.SetWakeUp([&wakes] { ++wakes; });
  for (int i = 0; i < 3; ++i) {
    queue.Post(ScanMessage{WM_SCAN_FILEPROGRESS, 0, i, nullptr});
  }
  for (ScanMessage drained; queue.TryTake(drained);) {
  }
  // Never taken: its texts go with the queue (checked under ASan).
  queue.Post(ScanMessage{WM_SCAN_SETCOMPLETE, 0, 0, std::make_unique<SetCompleteTexts>()});
  EXPECT_EQ(wakes.load(), 2);
}

}  // namespace
}  // namespace qs
