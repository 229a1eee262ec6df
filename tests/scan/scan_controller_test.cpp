// The worker's controller driven as the window drives it: real worker threads, a fake timer
// ticked by hand, a display that records, a sleeper that never sleeps.
#include "scan/scan_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "config/memory_settings_store.h"
#include "config/settings_keys.h"
#include "config/watch_list.h"
#include "scan/scan_pass.h"
#include "scan/scan_worker.h"
#include "tests/scan/scan_test_doubles.h"
#include "tests/support/temp_dir.h"

#ifdef __linux__
#include <sys/resource.h>
#endif

namespace qs {
namespace {

using test::FakeDisplay;
using test::FakeTimer;
using test::PauseWatchingSink;
using test::RecordingSleeper;
using test::ScriptedFileSystem;
using test::TempDir;

enum class State { kScanning, kScanPaused, kCountingDown, kCountdownPaused, kEndedEarly, kExited };
enum class Event { kFinished, kForceStop, kForceStart, kPause, kTickToZero, kExit };

const char* Name(State state) {
  switch (state) {
    case State::kScanning:
      return "Scanning";
    case State::kScanPaused:
      return "ScanPaused";
    case State::kCountingDown:
      return "CountingDown";
    case State::kCountdownPaused:
      return "CountdownPaused";
    case State::kEndedEarly:
      return "EndedEarly";
    case State::kExited:
      return "Exited";
  }
  return "?";
}

const char* Name(Event event) {
  switch (event) {
    case Event::kFinished:
      return "Finished";
    case Event::kForceStop:
      return "ForceStop";
    case Event::kForceStart:
      return "ForceStart";
    case Event::kPause:
      return "Pause";
    case Event::kTickToZero:
      return "TickToZero";
    case Event::kExit:
      return "Exit";
  }
  return "?";
}

std::string Hex(std::uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

class ScanControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source_ = temp_.MakeDir("in");
    list_.Append({source_, temp_.MakeDir("out"), 1});
    WriteInt(settings_, Setting::ReScan, 3);
    ScanControllerSetup setup;
    setup.watch_list = &list_;
    setup.settings = &settings_;
    setup.fs = &fs_;
    setup.sink = &sink_;
    setup.display = &display_;
    setup.timer = &timer_;
    setup.sleeper = &sleeper_;
    setup.start_command = [this](const std::vector<std::string>& arguments) {
      started_.push_back(arguments);
      return kErrorSuccess;
    };
    controller_ = std::make_unique<ScanController>(std::move(setup));
  }

  void TearDown() override {
    fs_.ReleaseAll();
    controller_->Shutdown();
  }

  // Dispatches the worker's messages until WM_SCAN_FINISHED has been handled.
  void RunUntilFinished() {
    for (;;) {
      ScanMessage message = queue_.Take();
      const bool finished = message.id == WM_SCAN_FINISHED;
      controller_->Dispatch(std::move(message));
      if (finished) {
        return;
      }
    }
  }

  // The worker just started is held in its first listing until it is asked to stop.
  void HoldNewWorkerUntilStopped() {
    fs_.listing_hold().WaitEntered();
    fs_.listing_hold().ReleaseWhen(controller_->Worker()->hStopEvent);
  }

  // `until_stopped` false: the worker stays held until the test releases it (a hold that waits
  // for the stop event cannot be released otherwise).
  void EnterScanning(bool until_stopped = true) {
    fs_.HoldListing(source_);
    controller_->Initialise();
    if (until_stopped) {
      HoldNewWorkerUntilStopped();
    } else {
      fs_.listing_hold().WaitEntered();
    }
  }

  void EnterCountingDown() {
    controller_->Initialise();
    RunUntilFinished();
  }

  void EnterEndedEarly() {
    fs_.HoldListing(source_);
    controller_->Initialise();
    fs_.listing_hold().WaitEntered();
    temp_.WriteFile("in/x.sfv", "a.rar 00000000\n");
    fs_.FailSfvOpens();
    fs_.listing_hold().Release();
    controller_->Worker()->hDoneEvent.Wait();
  }

  void Enter(State state, Event next) {
    switch (state) {
      case State::kScanning:
        EnterScanning(next != Event::kFinished);
        break;
      case State::kScanPaused:
        EnterScanning();
        controller_->OnPauseButton();
        break;
      case State::kCountingDown:
        EnterCountingDown();
        break;
      case State::kCountdownPaused:
        EnterCountingDown();
        controller_->OnPauseButton();
        break;
      case State::kEndedEarly:
        EnterEndedEarly();
        break;
      case State::kExited:
        FAIL() << "not a starting state";
    }
  }

  void Apply(Event event) {
    switch (event) {
      case Event::kFinished:
        fs_.listing_hold().Release();
        RunUntilFinished();
        break;
      case Event::kForceStop:
        controller_->OnForceStopScan();
        break;
      case Event::kForceStart: {
        const ScanWorker* before = controller_->Worker();
        fs_.HoldListing(source_);
        controller_->OnForceStartScan();
        if (before == nullptr) {
          HoldNewWorkerUntilStopped();
        } else {
          EXPECT_EQ(controller_->Worker(), before) << "a second worker was started";
          fs_.listing_hold().Disarm();
        }
        break;
      }
      case Event::kPause:
        controller_->OnPauseButton();
        break;
      case Event::kTickToZero:
        fs_.HoldListing(source_);
        while (controller_->Countdown() > 1) {
          controller_->OnCountdownTimer(kCountdownTimerId);
          ASSERT_FALSE(controller_->HasWorker());
        }
        controller_->OnCountdownTimer(kCountdownTimerId);
        HoldNewWorkerUntilStopped();
        break;
      case Event::kExit:
        controller_->Shutdown();
        break;
    }
  }

  // Checks every column of the state table for `state`.
  void ExpectState(State state) {
    SCOPED_TRACE(Name(state));
    switch (state) {
      case State::kScanning:
      case State::kScanPaused:
        ASSERT_TRUE(controller_->HasWorker());
        EXPECT_FALSE(controller_->WorkerEnded());
        EXPECT_FALSE(controller_->PassEndedEarly());
        EXPECT_EQ(controller_->IsPaused(), state == State::kScanPaused);
        EXPECT_EQ(display_.Status(), state == State::kScanning ? "Running" : "Paused");
        EXPECT_FALSE(timer_.running);
        EXPECT_FALSE(controller_->CountdownRunning());
        break;
      case State::kEndedEarly:
        ASSERT_TRUE(controller_->HasWorker());
        EXPECT_TRUE(controller_->WorkerEnded());
        EXPECT_TRUE(display_.Status() == "Running" || display_.Status() == "Paused");
        EXPECT_FALSE(timer_.running);
        EXPECT_FALSE(controller_->CountdownRunning());
        break;
      case State::kCountingDown:
      case State::kCountdownPaused: {
        const bool counting = state == State::kCountingDown;
        EXPECT_FALSE(controller_->HasWorker());
        EXPECT_EQ(display_.Status(), "Idle");
        EXPECT_EQ(timer_.running, counting);
        EXPECT_EQ(controller_->CountdownRunning(), counting);
        if (!counting) {
          EXPECT_EQ(display_.Countdown(), std::to_string(controller_->Countdown()) + " s [paused]");
        }
        if (counting) {
          EXPECT_EQ(timer_.period, kCountdownPeriod);
        }
        break;
      }
      case State::kExited:
        EXPECT_FALSE(controller_->HasWorker());
        EXPECT_FALSE(timer_.running);
        EXPECT_FALSE(controller_->CountdownRunning());
        break;
    }
  }

  TempDir temp_;
  std::string source_;
  WatchList list_;
  MemorySettingsStore settings_;
  ScriptedFileSystem fs_;
  ScanMessageQueue queue_;
  PauseWatchingSink sink_{queue_};
  FakeDisplay display_;
  FakeTimer timer_;
  RecordingSleeper sleeper_;
  std::vector<std::vector<std::string>> started_;
  std::unique_ptr<ScanController> controller_;
};

struct Transition {
  State from;
  Event event;
  State to;
};

std::string TransitionName(const ::testing::TestParamInfo<Transition>& info) {
  return std::string(Name(info.param.from)) + "_" + Name(info.param.event) + "_" +
         Name(info.param.to);
}

class TransitionTest : public ScanControllerTest,
                       public ::testing::WithParamInterface<Transition> {};

TEST_P(TransitionTest, LeadsToTheStateOfTheTable) {
  const Transition& row = GetParam();
  Enter(row.from, row.event);
  ExpectState(row.from);
  Apply(row.event);
  ExpectState(row.to);
}

INSTANTIATE_TEST_SUITE_P(
    EveryRow, TransitionTest,
    ::testing::Values(Transition{State::kScanning, Event::kFinished, State::kCountingDown},
                      Transition{State::kScanning, Event::kForceStop, State::kCountingDown},
                      Transition{State::kScanning, Event::kPause, State::kScanPaused},
                      Transition{State::kScanPaused, Event::kPause, State::kScanning},
                      Transition{State::kScanPaused, Event::kForceStop, State::kCountingDown},
                      Transition{State::kEndedEarly, Event::kForceStop, State::kCountingDown},
                      Transition{State::kEndedEarly, Event::kPause, State::kEndedEarly},
                      Transition{State::kCountingDown, Event::kTickToZero, State::kScanning},
                      Transition{State::kCountingDown, Event::kForceStart, State::kScanning},
                      Transition{State::kCountingDown, Event::kPause, State::kCountdownPaused},
                      Transition{State::kCountdownPaused, Event::kPause, State::kCountingDown},
                      Transition{State::kCountdownPaused, Event::kForceStart, State::kScanning},
                      Transition{State::kCountdownPaused, Event::kForceStop, State::kCountingDown},
                      // Force start while a worker exists only touches the countdown.
                      Transition{State::kScanning, Event::kForceStart, State::kScanning},
                      Transition{State::kScanPaused, Event::kForceStart, State::kScanPaused},
                      Transition{State::kEndedEarly, Event::kForceStart, State::kEndedEarly},
                      // The exit, from every state.
                      Transition{State::kScanning, Event::kExit, State::kExited},
                      Transition{State::kScanPaused, Event::kExit, State::kExited},
                      Transition{State::kEndedEarly, Event::kExit, State::kExited},
                      Transition{State::kCountingDown, Event::kExit, State::kExited},
                      Transition{State::kCountdownPaused, Event::kExit, State::kExited}),
    TransitionName);

TEST_F(ScanControllerTest, FirstPassRunsAtOnceWithAnEmptyCountdownField) {
  EnterScanning();
  EXPECT_EQ(display_.statuses, std::vector<std::string>{"Running"});
  EXPECT_TRUE(display_.countdowns.empty());
  EXPECT_EQ(controller_->Countdown(), 3);
  EXPECT_EQ(timer_.starts, 0);
}

TEST_F(ScanControllerTest, CountdownTextsForReScanThree) {
  EnterCountingDown();
  EXPECT_TRUE(display_.countdowns.empty());
  // A change of ReScan counts at the next reload, not in the running countdown.
  WriteInt(settings_, Setting::ReScan, 5);
  controller_->OnCountdownTimer(kCountdownTimerId);
  controller_->OnCountdownTimer(kCountdownTimerId);
  EXPECT_FALSE(controller_->HasWorker());
  fs_.HoldListing(source_);
  controller_->OnCountdownTimer(kCountdownTimerId);
  HoldNewWorkerUntilStopped();
  EXPECT_EQ(display_.countdowns, (std::vector<std::string>{"2 s", "1 s", "0 s"}));
  EXPECT_TRUE(controller_->HasWorker());
  EXPECT_EQ(display_.Status(), "Running");
  EXPECT_EQ(controller_->Countdown(), 5);
  EXPECT_FALSE(timer_.running);
}

TEST_F(ScanControllerTest, ReScanZeroCountsIntoNegativeNumbersAndStartsNoPass) {
  WriteInt(settings_, Setting::ReScan, 0);
  EnterCountingDown();
  for (int tick = 0; tick < 3; ++tick) {
    controller_->OnCountdownTimer(kCountdownTimerId);
  }
  EXPECT_EQ(display_.countdowns, (std::vector<std::string>{"-1 s", "-2 s", "-3 s"}));
  EXPECT_FALSE(controller_->HasWorker());
  EXPECT_TRUE(timer_.running);

  controller_->OnPauseButton();
  EXPECT_EQ(display_.Countdown(), "-3 s [paused]");

  fs_.HoldListing(source_);
  controller_->OnForceStartScan();
  HoldNewWorkerUntilStopped();
  EXPECT_EQ(display_.Countdown(), "0 s");
  EXPECT_EQ(controller_->Countdown(), 0);
  EXPECT_TRUE(controller_->HasWorker());
}

TEST_F(ScanControllerTest, OtherTimersAreLeftAlone) {
  EnterCountingDown();
  controller_->OnCountdownTimer(kCountdownTimerId + 1);
  EXPECT_EQ(controller_->Countdown(), 3);
  EXPECT_TRUE(display_.countdowns.empty());
}

TEST_F(ScanControllerTest, ForceStartDuringAPassOnlyReloadsTheCountdown) {
  EnterCountingDown();
  controller_->OnCountdownTimer(kCountdownTimerId);
  fs_.HoldListing(source_);
  controller_->OnForceStartScan();
  HoldNewWorkerUntilStopped();
  const ScanWorker* worker = controller_->Worker();
  controller_->OnCountdownTimer(kCountdownTimerId);  // a tick already queued still arrives
  ASSERT_EQ(controller_->Countdown(), 2);

  controller_->OnForceStartScan();
  EXPECT_EQ(controller_->Worker(), worker);
  EXPECT_EQ(controller_->Countdown(), 3);
  EXPECT_EQ(display_.Countdown(), "0 s");
  EXPECT_FALSE(timer_.running);
  EXPECT_EQ(display_.statuses.back(), "Running");
}

TEST_F(ScanControllerTest, ForceStopKeepsTheCountdownValueAndResetsEveryRow) {
  display_.rows = 3;
  EnterCountingDown();
  controller_->OnCountdownTimer(kCountdownTimerId);
  controller_->OnPauseButton();
  controller_->OnScanRowProgress(2, 40);
  const std::size_t sleeps = sleeper_.Sleeps().size();
  controller_->OnForceStopScan();
  EXPECT_TRUE(timer_.running);
  EXPECT_EQ(controller_->Countdown(), 2);
  for (std::int64_t row = 0; row < 3; ++row) {
    EXPECT_EQ(display_.Cell(row), 0) << row;
  }
  EXPECT_EQ(display_.file_progress.back(), 0);
  EXPECT_EQ(sleeper_.Sleeps().size(), sleeps) << "StopScan waited without a worker";
}

TEST_F(ScanControllerTest, StopScanWaitsFiveHundredMillisecondsOnceAfterTheDoneEvent) {
  EnterScanning();
  controller_->OnForceStopScan();
  EXPECT_EQ(sleeper_.Sleeps(),
            std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(500)});
  EXPECT_EQ(display_.file_progress.back(), 0);
}

TEST_F(ScanControllerTest, PassProgressReachesTheDisplayAndFinishedResetsIt) {
  display_.rows = 2;
  EnterCountingDown();
  // The pass posted 100 for the row; OnScanFinished then set it back to 0.
  EXPECT_EQ(display_.Cell(0), 0);
  EXPECT_EQ(display_.Cell(1), 0);
  EXPECT_EQ(display_.file_progress.back(), 0);

  controller_->OnScanRowProgress(0, 57);
  controller_->OnScanFileProgress(12);
  EXPECT_EQ(display_.Cell(0), 57);
  EXPECT_EQ(display_.file_progress.back(), 12);
}

TEST_F(ScanControllerTest, MessagesArrivingAfterTheWorkerIsReleasedOnlySetDisplayValues) {
  controller_->Initialise();
  // Take the whole pass's messages, then release the worker before handling them.
  std::vector<ScanMessage> late;
  for (;;) {
    late.push_back(queue_.Take());
    if (late.back().id == WM_SCAN_FINISHED) {
      break;
    }
  }
  controller_->OnForceStopScan();
  ASSERT_FALSE(controller_->HasWorker());
  const int starts = timer_.starts;
  for (ScanMessage& message : late) {
    controller_->Dispatch(std::move(message));
  }
  EXPECT_FALSE(controller_->HasWorker());
  EXPECT_EQ(display_.Status(), "Idle");
  EXPECT_TRUE(timer_.running);
  EXPECT_EQ(timer_.starts, starts + 1);
  EXPECT_EQ(display_.Cell(0), 0);
}

TEST_F(ScanControllerTest, LateFinishedOfAnEarlierWorkerDoesNotEndTheCurrentPass) {
  controller_->Initialise();
  ScanMessage finished;
  do {
    finished = queue_.Take();
  } while (finished.id != WM_SCAN_FINISHED);
  controller_->OnForceStopScan();
  fs_.HoldListing(source_);
  controller_->OnForceStartScan();
  HoldNewWorkerUntilStopped();

  controller_->Dispatch(std::move(finished));
  EXPECT_TRUE(controller_->HasWorker());
  EXPECT_EQ(display_.Status(), "Running");
  EXPECT_FALSE(timer_.running);
}

TEST_F(ScanControllerTest, SetCompleteStartsThePostExecutionFieldAsItIsNow) {
  controller_->Initialise();
  RunUntilFinished();
  display_.post_execution = "unpack %1 %2 %3";
  ScanMessage message;
  message.id = WM_SCAN_SETCOMPLETE;
  message.texts = std::make_unique<SetCompleteTexts>(
      SetCompleteTexts{source_ + "/movie/x.sfv", source_ + "/movie/x.part01.rar"});
  controller_->Dispatch(std::move(message));
  ASSERT_EQ(started_.size(), 1u);
  EXPECT_EQ(started_[0],
            (std::vector<std::string>{"unpack", source_ + "/movie/", source_ + "/movie/x.sfv",
                                      source_ + "/movie/x.part01.rar"}));
}

TEST_F(ScanControllerTest, AfterTheExitLateMessagesAndTicksDoNothing) {
  EnterCountingDown();
  display_.post_execution = "unpack %2";
  controller_->Shutdown();
  const auto statuses = display_.statuses;
  ScanMessage complete;
  complete.id = WM_SCAN_SETCOMPLETE;
  complete.texts = std::make_unique<SetCompleteTexts>(SetCompleteTexts{"/a/x.sfv", "/a/x.rar"});
  controller_->Dispatch(std::move(complete));
  ScanMessage finished;
  finished.id = WM_SCAN_FINISHED;
  controller_->Dispatch(std::move(finished));
  controller_->OnCountdownTimer(kCountdownTimerId);
  controller_->OnForceStartScan();
  EXPECT_TRUE(started_.empty());
  EXPECT_FALSE(controller_->HasWorker());
  EXPECT_FALSE(timer_.running);
  EXPECT_EQ(display_.statuses, statuses);
}

// A set of three volumes, the middle one with a wrong CRC, so its state file stays behind.
struct SetFixture {
  explicit SetFixture(const TempDir& temp) {
    const std::string a(4 * 128 * 1024 + 17, 'a');
    const std::string b = "bbbb";
    const std::string c(3 * 128 * 1024, 'c');
    a_path = temp.WriteFile("in/set/a.bin", a);
    temp.WriteFile("in/set/b.bin", b);
    temp.WriteFile("in/set/c.bin", c);
    temp.WriteFile("in/set/x.sfv", "a.bin " + Hex(test::ReferenceCrc32(a)) + "\nb.bin " +
                                       Hex(test::ReferenceCrc32(b) ^ 1u) + "\nc.bin " +
                                       Hex(test::ReferenceCrc32(c)) + "\n");
    state_path = temp.Path("in/set/") + kStateFileName;
  }
  std::string a_path;
  std::string state_path;
};

// What one undisturbed pass leaves in the state file of the same set.
std::string ReferenceStateFile() {
  TempDir temp;
  SetFixture set(temp);
  WatchList list;
  list.Append({temp.Path("in"), temp.MakeDir("out"), 1});
  MemorySettingsStore settings;
  ScanMessageQueue queue;
  ManualResetEvent stop;
  ManualResetEvent done;
  ScanPassContext context;
  context.watch_list = &list;
  context.sink = &queue;
  context.settings = &settings;
  context.fs = &RealFileSystem();
  context.stop_event = &stop;
  context.done_event = &done;
  EXPECT_EQ(ScanThreadProc(context), 1u);
  return test::ReadFile(set.state_path);
}

TEST_F(ScanControllerTest, PauseDuringAPassFreezesItAndResumeFinishesWithTheSameStatuses) {
  const std::string expected = ReferenceStateFile();
  ASSERT_NE(expected.find("b.bin 0"), std::string::npos);
  SetFixture set(temp_);

  fs_.HoldRead(set.a_path, 2);
  controller_->Initialise();
  fs_.read_hold().WaitEntered();
  const PauseGate* gate = &controller_->Worker()->pause;
  fs_.WatchPause(gate);
  sink_.WatchPause(gate);
  controller_->OnPauseButton();
  fs_.read_hold().Release();
  // Whatever the worker did meanwhile, the window's thread is free and the progress shown is
  // the one before the pause.
  ScanMessage message;
  while (queue_.TryTake(message)) {
    controller_->Dispatch(std::move(message));
  }
  EXPECT_EQ(display_.Status(), "Paused");

  controller_->OnPauseButton();
  EXPECT_EQ(display_.Status(), "Running");
  RunUntilFinished();

  EXPECT_EQ(fs_.ReadsWhilePaused(), 0);
  EXPECT_EQ(sink_.PostsWhilePaused(), 0);
  EXPECT_EQ(fs_.VerifyOpens(set.a_path), 1) << "the paused volume was opened again";
  EXPECT_EQ(fs_.BlocksRead(set.a_path), 5);
  EXPECT_EQ(test::ReadFile(set.state_path), expected);
  EXPECT_EQ(display_.Cell(0), 0);
}

TEST_F(ScanControllerTest, QuittingDuringAPausedPassStopsAndReleasesTheWorker) {
  SetFixture set(temp_);
  fs_.HoldRead(set.a_path, 2);
  controller_->Initialise();
  fs_.read_hold().WaitEntered();
  const std::string state_before = test::ReadFile(set.state_path);
  controller_->OnPauseButton();
  fs_.read_hold().Release();

  controller_->Shutdown();
  EXPECT_FALSE(controller_->HasWorker());
  EXPECT_EQ(display_.Status(), "Idle");
  EXPECT_EQ(sleeper_.Sleeps().size(), 1u);
  EXPECT_EQ(fs_.BlocksRead(set.a_path), 2);
  EXPECT_EQ(test::ReadFile(set.state_path), state_before);
  ScanMessage message;
  while (queue_.TryTake(message)) {
    EXPECT_NE(message.id, WM_SCAN_FINISHED);
  }
}

TEST_F(ScanControllerTest, ForceStopDuringALargeFileReturnsWithinOneBlock) {
  constexpr int kHeldBlock = 3;
  constexpr std::int64_t kBlocks = 8192;  // 1 GiB of zeros, never on disk
  const std::string big = temp_.WriteFile("in/big/big.bin", "");
  temp_.WriteFile("in/big/big.sfv", "big.bin 12345678\n");
  const std::string state_path = temp_.Path("in/big/") + kStateFileName;
  fs_.ServeLargeFile(big, kBlocks);
  fs_.HoldRead(big, kHeldBlock);

  controller_->Initialise();
  fs_.read_hold().WaitEntered();
  const std::string state_before = test::ReadFile(state_path);
  ASSERT_NE(state_before.find("big.bin 0"), std::string::npos);
  fs_.read_hold().ReleaseWhen(controller_->Worker()->hStopEvent);

  controller_->OnForceStopScan();
  EXPECT_FALSE(controller_->HasWorker());
  EXPECT_LE(fs_.BlocksRead(big), kHeldBlock + 1);
  EXPECT_EQ(test::ReadFile(state_path), state_before);
  EXPECT_TRUE(timer_.running);
}

#ifdef __linux__
TEST_F(ScanControllerTest, TheWorkerRunsBelowNormalPriority) {
  EnterCountingDown();
  const int worker_nice = fs_.ListingThreadNice();
  const int own_nice = getpriority(PRIO_PROCESS, 0);
  EXPECT_EQ(worker_nice, std::min(own_nice + 1, 19));
}
#endif

}  // namespace
}  // namespace qs
