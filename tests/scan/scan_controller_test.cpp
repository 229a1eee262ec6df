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

// Forwards to the queue and counts what is posted while `watched` is paused.
class PauseWatchingSink final : public ScanMessageSink {
 public:
  void Post(ScanMessage message) override {
    posts_while_paused += watched != nullptr && watched->IsPaused() ? 1 : 0;
    queue.Post(std::move(message));
  }
  ScanMessageQueue queue;
  const PauseGate* watched = nullptr;  // set while the worker is held
  std::atomic<int> posts_while_paused{0};
};

enum class State {
  kScanning,
  kScanPaused,
  kCountingDown,
  kCountdownPaused,
  kEndedEarly,
  kStopping,
  kExited
};
enum class Event {
  kFinished,
  kForceStop,
  kForceStart,
  kPause,
  kTickToZero,
  kStrayFinished,
  kStopped,
  kExit
};
const char* const kStateNames[] = {"Scanning",   "ScanPaused", "CountingDown", "CountdownPaused",
                                   "EndedEarly", "Stopping",   "Exited"};
const char* const kEventNames[] = {"Finished",   "ForceStop",     "ForceStart", "Pause",
                                   "TickToZero", "StrayFinished", "Stopped",    "Exit"};

class ScanControllerTest : public ::testing::Test {
 protected:
  ScanControllerTest() {
    list_.Append({source_, temp_.MakeDir("out"), 1});
    WriteInt(settings_, Setting::ReScan, 3);
    controller_ = MakeController(PassMode::kWindow);
  }
  std::unique_ptr<ScanController> MakeController(PassMode mode) {
    return std::make_unique<ScanController>(ScanControllerSetup{
        {.watch_list = &list_, .sink = &sink_, .settings = &settings_, .fs = &fs_},
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
    fs_.listing_hold.Release();
    fs_.read_hold.Release();
    controller_->Shutdown();
  }

  // Dispatches the worker's messages up to and including the first `id`; WM_SCAN_STOPPED once
  // a stop has begun, or once a pass that ends normally has ended.
  void RunUntil(std::uint32_t id) {
    for (bool found = false; !found;) {
      ScanMessage message = sink_.queue.Take();
      found = message.id == id;
      controller_->Dispatch(std::move(message));
    }
  }

  // Runs `start`, which starts a worker, and holds the worker in its first listing: until it is
  // asked to stop, or (`until_stopped` false) until the test releases it.
  template <typename Start>
  void StartHeld(Start start, bool until_stopped = true) {
    fs_.HoldListing(source_);
    start();
    fs_.listing_hold.WaitEntered();
    if (until_stopped) {
      fs_.listing_hold.ReleaseWhen(controller_->Worker()->hStopEvent);
    }
  }

  void Enter(State state, Event next) {
    switch (state) {
      case State::kScanning:
      case State::kScanPaused:
        StartHeld([this] { controller_->Initialise(); }, next != Event::kFinished);
        if (state == State::kScanPaused) {
          controller_->OnPauseButton();
        }
        break;
      case State::kCountingDown:
      case State::kCountdownPaused:
        controller_->Initialise();
        RunUntil(WM_SCAN_STOPPED);
        if (state == State::kCountdownPaused) {
          controller_->OnPauseButton();
        }
        break;
      case State::kEndedEarly:  // an SFV file that cannot be opened ends the pass early
        StartHeld([this] { controller_->Initialise(); }, false);
        temp_.WriteFile("in/x.sfv", "a.rar 00000000\n");
        fs_.fail_open = [](const std::string& path) {
          return path.ends_with(".sfv") ? kErrorAccessDenied : kErrorSuccess;
        };
        fs_.listing_hold.Release();
        controller_->Worker()->hDoneEvent.Wait();
        break;
      case State::kStopping:  // the worker is still held in its pass
        StartHeld([this] { controller_->Initialise(); }, false);
        controller_->OnForceStopScan();
        break;
      case State::kExited:
        FAIL() << "not a starting state";
    }
    controller_->OnScanRowProgress(2, 40);  // what every stop clears
  }

  void Apply(Event event) {
    switch (event) {
      case Event::kFinished:
        fs_.listing_hold.Release();
        RunUntil(WM_SCAN_FINISHED);
        break;
      case Event::kStopped:
        fs_.listing_hold.Release();
        RunUntil(WM_SCAN_STOPPED);
        break;
      case Event::kForceStop: {
        const std::int64_t countdown = controller_->Countdown();
        controller_->OnForceStopScan();
        EXPECT_EQ(controller_->Countdown(), countdown) << "the countdown goes on from its value";
        break;
      }
      case Event::kForceStart: {
        WriteInt(settings_, Setting::ReScan, 5);
        if (const ScanWorker* before = controller_->Worker()) {
          controller_->OnForceStartScan();
          EXPECT_EQ(controller_->Worker(), before) << "a second worker was started";
        } else {
          StartHeld([this] { controller_->OnForceStartScan(); });
        }
        EXPECT_EQ(controller_->Countdown(), 5);
        EXPECT_EQ(display_.Countdown(), "0 s");
        break;
      }
      case Event::kPause: {
        const std::string before = display_.Status();
        controller_->OnPauseButton();
        if (controller_->HasWorker()) {
          EXPECT_NE(display_.Status(), before);
        }
        break;
      }
      case Event::kTickToZero:
        while (controller_->Countdown() > 1) {
          controller_->OnCountdownTimer(kCountdownTimerId);
          ASSERT_FALSE(controller_->HasWorker());
        }
        StartHeld([this] { controller_->OnCountdownTimer(kCountdownTimerId); });
        break;
      case Event::kStrayFinished:  // of a worker released earlier
        controller_->Dispatch(ScanMessage{WM_SCAN_FINISHED, 0, 0, nullptr});
        break;
      case Event::kExit: {
        fs_.listing_hold.Release();
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
  }

  // Checks every column of the state table for `state`.
  void ExpectState(State state) {
    SCOPED_TRACE(kStateNames[static_cast<int>(state)]);
    const bool scanning = state == State::kScanning || state == State::kScanPaused;
    const bool ended = state == State::kEndedEarly || state == State::kStopping;
    EXPECT_EQ(controller_->HasWorker(), scanning || ended);
    EXPECT_EQ(controller_->Stopping(), state == State::kStopping);
    if (state != State::kStopping) {
      EXPECT_EQ(controller_->WorkerEnded(), state == State::kEndedEarly);
    }
    EXPECT_EQ(timer_.running, state == State::kCountingDown);
    EXPECT_EQ(controller_->CountdownRunning(), state == State::kCountingDown);
    if (state != State::kEndedEarly) {
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
    if (state == State::kCountdownPaused) {
      EXPECT_EQ(display_.Countdown(), std::to_string(controller_->Countdown()) + " s [paused]");
    }
  }

  void ExpectRowsCleared() {
    EXPECT_EQ(display_.cells, (std::map<std::int64_t, std::int64_t>{{0, 0}, {1, 0}, {2, 0}}));
    EXPECT_EQ(display_.file_progress, 0);
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

  // Starts a pass and holds it inside the read of block 3 of a large volume.
  std::string HoldInsideALargeFile() {
    const std::string big = temp_.Path("in/set/big.bin");
    temp_.WriteFile("in/set/big.sfv", "big.bin 12345678\n");
    fs_.Serve(big, {std::string(64 * Crc32Engine::kReadBlockSize, '\0'), 1 << 20});
    fs_.HoldRead(big, 3);
    controller_->Initialise();
    fs_.read_hold.WaitEntered();
    EXPECT_EQ(test::ReadFile(state_file_), "big.bin 0\r\n");
    return big;
  }

  test::TempDir temp_;
  std::string source_ = temp_.MakeDir("in");
  std::string state_file_ = temp_.Path("in/set/") + kStateFileName;
  WatchList list_;
  MemorySettingsStore settings_;
  test::TestFileSystem fs_;
  PauseWatchingSink sink_;
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

// A stop keeps the worker until its WM_SCAN_STOPPED, then counts down with every row cleared.
TEST_P(TransitionTest, LeadsToTheStateOfTheTable) {
  const Transition& t = GetParam();
  Enter(t.from, t.event);
  ExpectState(t.from);
  Apply(t.event);
  ExpectState(t.to);
  if (t.to == State::kStopping && !HasFailure()) {
    Apply(Event::kStopped);
    ExpectState(State::kCountingDown);
    ExpectRowsCleared();
  } else if (t.event == Event::kForceStop) {
    ExpectRowsCleared();
  }
}

const Transition kTransitions[] = {
    {State::kScanning, Event::kFinished, State::kStopping},
    {State::kScanning, Event::kForceStop, State::kStopping},
    {State::kScanning, Event::kPause, State::kScanPaused},
    {State::kScanPaused, Event::kPause, State::kScanning},
    {State::kScanPaused, Event::kForceStop, State::kStopping},
    {State::kEndedEarly, Event::kForceStop, State::kStopping},
    {State::kEndedEarly, Event::kPause, State::kEndedEarly},
    {State::kCountingDown, Event::kTickToZero, State::kScanning},
    {State::kCountingDown, Event::kForceStart, State::kScanning},
    {State::kCountingDown, Event::kPause, State::kCountdownPaused},
    {State::kCountdownPaused, Event::kPause, State::kCountingDown},
    {State::kCountdownPaused, Event::kForceStart, State::kScanning},
    {State::kCountdownPaused, Event::kForceStop, State::kCountingDown},
    // While a worker exists, also during its stop, Force start only touches the countdown,
    // Force stop starts no second stop and P only toggles the text during the stop.
    {State::kScanning, Event::kForceStart, State::kScanning},
    {State::kScanPaused, Event::kForceStart, State::kScanPaused},
    {State::kEndedEarly, Event::kForceStart, State::kEndedEarly},
    {State::kStopping, Event::kForceStart, State::kStopping},
    {State::kStopping, Event::kForceStop, State::kStopping},
    {State::kStopping, Event::kPause, State::kStopping},
    {State::kScanning, Event::kStrayFinished, State::kScanning},
    {State::kScanning, Event::kExit, State::kExited},
    {State::kScanPaused, Event::kExit, State::kExited},
    {State::kEndedEarly, Event::kExit, State::kExited},
    {State::kStopping, Event::kExit, State::kExited},
    {State::kCountingDown, Event::kExit, State::kExited},
    {State::kCountdownPaused, Event::kExit, State::kExited}};

INSTANTIATE_TEST_SUITE_P(EveryRow, TransitionTest, ::testing::ValuesIn(kTransitions),
                         [](const auto& info) {
                           return std::string(kStateNames[static_cast<int>(info.param.from)]) +
                                  "_" + kEventNames[static_cast<int>(info.param.event)];
                         });

// The countdown starts at ReScan (3) after the first pass, which runs at once; a change of
// ReScan counts at the next reload. ReScan 0 counts into negative numbers and starts no pass.
TEST_F(ScanControllerTest, CountdownTextsForReScanThreeThenZero) {
  StartHeld([this] { controller_->Initialise(); }, false);
  EXPECT_EQ(display_.statuses, Strings{"Running"});
  EXPECT_EQ(timer_.starts, 0);
  fs_.listing_hold.Release();
  RunUntil(WM_SCAN_STOPPED);
  EXPECT_TRUE(display_.countdowns.empty());
  EXPECT_EQ(fs_.listing_thread_nice, std::min(::getpriority(PRIO_PROCESS, 0) + 1, 19));
  controller_->OnCountdownTimer(kCountdownTimerId + 1);  // another timer's tick
  WriteInt(settings_, Setting::ReScan, 0);
  controller_->OnCountdownTimer(kCountdownTimerId);
  controller_->OnCountdownTimer(kCountdownTimerId);
  EXPECT_FALSE(controller_->HasWorker());
  StartHeld([this] { controller_->OnCountdownTimer(kCountdownTimerId); });
  EXPECT_EQ(display_.Status(), "Running");
  EXPECT_FALSE(timer_.running);
  controller_->OnForceStopScan();
  RunUntil(WM_SCAN_STOPPED);
  for (int tick = 0; tick < 3; ++tick) {
    controller_->OnCountdownTimer(kCountdownTimerId);
  }
  EXPECT_EQ(display_.countdowns, (Strings{"2 s", "1 s", "0 s", "-1 s", "-2 s", "-3 s"}));
  EXPECT_FALSE(controller_->HasWorker());
  controller_->OnPauseButton();
  EXPECT_EQ(display_.Countdown(), "-3 s [paused]");
  StartHeld([this] { controller_->OnForceStartScan(); });
  EXPECT_EQ(display_.Countdown(), "0 s");
  EXPECT_EQ(controller_->Countdown(), 0);
}

// A pass that ended normally just before "Force stop scan": its messages, handled during the
// stop, still keep its reports, and the countdown follows the stop.
TEST_F(ScanControllerTest, AFinishHandledDuringAForceStopStillKeepsTheReports) {
  controller_->Initialise();
  std::vector<ScanMessage> queued;
  do {
    queued.push_back(sink_.queue.Take());
  } while (queued.back().id != WM_SCAN_FINISHED);
  controller_->OnForceStopScan();
  for (ScanMessage& message : queued) {
    controller_->Dispatch(std::move(message));
  }
  EXPECT_TRUE(controller_->Stopping());
  RunUntil(WM_SCAN_STOPPED);
  EXPECT_EQ(display_.Status(), "Idle");
  EXPECT_TRUE(timer_.running);
  ExpectRowsCleared();
  EXPECT_EQ(test::ReadFile(temp_.Path("report")).substr(0, 7), "Row 0: ");
}

// The window counts down to the next pass and ignores what comes after its exit; the headless
// runner still starts a set completed before its exit, with the field as it is then; one pass
// counts down to nothing, an exit during its stop ends it as the stop would, and a pass that
// ends normally while it exits still counts as finished.
TEST_F(ScanControllerTest, EachModeEndsItsPassAndTreatsLateMessagesItsOwnWay) {
  const struct {
    PassMode mode;
    PassOutcome after_pass, after_force_stop, after_late_finish;
    int countdowns;
    bool late_set_started;
  } cases[] = {
      {PassMode::kWindow, PassOutcome::kUnderWay, PassOutcome::kUnderWay, PassOutcome::kUnderWay, 2,
       false},
      {PassMode::kHeadless, PassOutcome::kUnderWay, PassOutcome::kUnderWay, PassOutcome::kUnderWay,
       2, true},
      {PassMode::kOnePass, PassOutcome::kFinished, PassOutcome::kEndedEarly, PassOutcome::kFinished,
       0, true},
  };
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
    for (ScanMessage message; sink_.queue.TryTake(message);) {
    }

    controller_ = MakeController(c.mode);
    controller_->Shutdown();
    display_.post_execution = "unpack %1";
    controller_->Dispatch(
        ScanMessage{WM_SCAN_SETCOMPLETE, 0, 0,
                    std::make_unique<SetCompleteTexts>(SetCompleteTexts{"/a/x.sfv", "/a/x.rar"})});
    controller_->Dispatch(ScanMessage{WM_SCAN_FINISHED, 0, 0, nullptr});
    EXPECT_EQ(started_.size(), c.late_set_started ? 1u : 0u);
    if (c.late_set_started) {
      EXPECT_EQ(started_[0], (Strings{"unpack", "/a/"}));
    }
    EXPECT_EQ(controller_->Outcome(), c.after_late_finish);
    EXPECT_EQ(timer_.starts, c.countdowns);
  }
}

TEST_F(ScanControllerTest, PauseFreezesThePassAndResumeFinishesItWithTheSameStatuses) {
  const std::string a = WriteSetOfThree();
  fs_.HoldRead(a, 2);
  controller_->Initialise();
  fs_.read_hold.WaitEntered();
  fs_.WatchPause(&controller_->Worker()->pause);
  sink_.watched = &controller_->Worker()->pause;
  controller_->OnPauseButton();
  fs_.read_hold.Release();
  // Whatever the worker did meanwhile, the window's thread is free.
  for (ScanMessage message; sink_.queue.TryTake(message);) {
    controller_->Dispatch(std::move(message));
  }
  EXPECT_EQ(display_.Status(), "Paused");
  controller_->OnPauseButton();
  EXPECT_EQ(display_.Status(), "Running");
  RunUntil(WM_SCAN_STOPPED);
  EXPECT_EQ(fs_.reads_while_paused, 0);
  EXPECT_EQ(sink_.posts_while_paused, 0);
  EXPECT_EQ(fs_.verified[a], 1) << "the paused volume was opened again";
  EXPECT_EQ(fs_.blocks[a], 5);
  EXPECT_EQ(test::ReadFile(state_file_), "a.bin 1\r\nb.bin 0\r\nc.bin 1\r\n");
}

// The report of each row and each failure reach the display; the reports of a pass that ended
// normally are kept for --status.
TEST_F(ScanControllerTest, ReportsAndFailuresReachTheDisplayAndTheLastPassIsKept) {
  WriteSetOfThree();
  controller_->Initialise();
  RunUntil(WM_SCAN_STOPPED);
  EXPECT_EQ(display_.failures,
            Strings{"CRC mismatch: " + temp_.Path("in/set/b.bin") + " (expected " +
                    test::CrcText("bbbX") + ", computed " + test::CrcText("bbbb") + ")"});
  ASSERT_EQ(display_.reports.count(0), 1u);
  EXPECT_EQ(FormatRowReport(display_.reports[0]), "0 sets complete\n1 failed:\n  x.sfv (b.bin)");
  EXPECT_EQ(test::ReadFile(temp_.Path("report")),
            "Row 0: " + source_ + " -> " + temp_.Path("out") +
                "\n  0 sets complete\n  1 failed:\n    x.sfv (b.bin)\n");
}

// A stop reaches the worker at the end of its read block and the volume's status is not
// written; after the worker has left its pass, "Force stop scan" waits out 500 ms on the
// worker's thread before the worker is released.
TEST_F(ScanControllerTest, ForceStopInsideALargeFileEndsWithinOneBlockAfterTheGrace) {
  const std::string big = HoldInsideALargeFile();
  fs_.read_hold.ReleaseWhen(controller_->Worker()->hStopEvent);
  controller_->OnForceStopScan();
  RunUntil(WM_SCAN_STOPPED);
  EXPECT_LE(fs_.blocks[big], 4);
  EXPECT_EQ(test::ReadFile(state_file_), "big.bin 0\r\n");
  EXPECT_EQ(sleeper_.sleeps, std::vector<milliseconds>{milliseconds(500)});
}

// The exit resumes a paused worker, which stops before its next read block, and waits out no
// grace.
TEST_F(ScanControllerTest, QuittingDuringAPausedPassStopsAndReleasesTheWorker) {
  const std::string big = HoldInsideALargeFile();
  controller_->OnPauseButton();
  fs_.read_hold.Release();
  controller_->Shutdown();
  EXPECT_FALSE(controller_->HasWorker());
  EXPECT_EQ(display_.Status(), "Idle");
  EXPECT_EQ(fs_.blocks[big], 3);
  EXPECT_EQ(test::ReadFile(state_file_), "big.bin 0\r\n");
  EXPECT_TRUE(sleeper_.sleeps.empty());
  for (ScanMessage message; sink_.queue.TryTake(message);) {
    EXPECT_NE(message.id, WM_SCAN_FINISHED);
  }
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

TEST(ScanWorker, StoppingABlockWhoseThreadNeverStartedDoesNotWait) {
  ScanMessageQueue queue;
  ScanWorker worker(ScanServices{.sink = &queue});
  RecordingSleeper sleeper;
  EXPECT_FALSE(StopScanWorker(worker, sleeper)) << "nothing will be posted";
  EXPECT_TRUE(worker.hStopEvent.IsSet());
  EXPECT_TRUE(sleeper.sleeps.empty());
}

TEST(ScanMessageQueue, KeepsEachPostersOrderAndWakesOnlyAnEmptyQueue) {
  ScanMessageQueue queue;
  std::atomic<int> wakes{0};
  queue.SetWakeUp([&wakes] { ++wakes; });
  constexpr int kPerThread = 2000;
  auto poster = [&queue](std::int64_t thread) {
    for (int i = 0; i < kPerThread; ++i) {
      queue.Post(ScanMessage{WM_SCAN_ROWPROGRESS, thread, i,
                             std::make_unique<SetCompleteTexts>(SetCompleteTexts{"", "x"})});
    }
  };
  std::thread first(poster, 0);
  std::thread second(poster, 1);
  std::int64_t next[2] = {0, 0};
  for (int taken = 0; taken < 2 * kPerThread; ++taken) {
    const ScanMessage message = queue.Take();
    ASSERT_EQ(message.lparam, next[message.wparam]++) << "thread " << message.wparam;
    ASSERT_EQ(message.texts->volume_text, "x");  // the texts travel with their message
  }
  first.join();
  second.join();
  EXPECT_GE(wakes.load(), 1);
  EXPECT_LE(wakes.load(), 2 * kPerThread);
  EXPECT_TRUE(queue.Empty());

  // A burst into an undrained queue wakes once; the first post after the drain wakes again.
  wakes = 0;
  for (int i = 0; i < 3; ++i)
    queue.Post(ScanMessage{WM_SCAN_FILEPROGRESS, 0, i, nullptr});
  EXPECT_EQ(wakes.load(), 1);
  ScanMessage drained;
  while (queue.TryTake(drained)) {
  }
  queue.Post(ScanMessage{WM_SCAN_FILEPROGRESS, 0, 100, nullptr});
  EXPECT_EQ(wakes.load(), 2);
  queue.TryTake(drained);
  // A message nobody takes releases its texts with the queue (checked under ASan).
  queue.Post(ScanMessage{WM_SCAN_SETCOMPLETE, 0, 0, std::make_unique<SetCompleteTexts>()});
}

}  // namespace
}  // namespace qs
