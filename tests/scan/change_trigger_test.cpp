// Passes started by change notifications, through the controller as the front ends drive it: a
// real watcher on a temporary tree, real workers, a clock and timers moved by hand.
#include <sys/inotify.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "config/memory_settings_store.h"
#include "config/settings_keys.h"
#include "config/watch_list.h"
#include "platform/folder_watcher.h"
#include "scan/countdown_timer.h"
#include "scan/scan_controller.h"
#include "scan/scan_display.h"
#include "scan/scan_message_queue.h"
#include "scan/sleeper.h"
#include "tests/scan/scan_test_support.h"

namespace qs {
namespace {

using std::chrono::milliseconds;
using Strings = std::vector<std::string>;

class Display final : public ScanDisplay {
 public:
  void SetStatusText(std::string_view) override {}
  void SetCountdownText(std::string_view text) override { countdown = text; }
  void SetProgressPercent(std::int64_t, int, std::int64_t) override {}
  void SetFileProgress(std::int64_t) override {}
  std::size_t RowCount() const override { return 1; }
  std::string PostExecutionText() const override { return {}; }
  void ReportFailure(std::int64_t, std::string_view text) override { said.emplace_back(text); }
  std::string countdown;
  Strings said;
};

class Timer final : public CountdownTimer {
 public:
  void Start(milliseconds) override { running = true; }
  void Stop() override { running = false; }
  bool running = false;
};

class NoSleep final : public Sleeper {
 public:
  void SleepFor(milliseconds) override {}
};

class ChangeTriggerTest : public ::testing::Test {
 protected:
  ChangeTriggerTest() {
    list_.Append({temp_.MakeDir("in"), temp_.MakeDir("out"), 1});
    WriteInt(settings_, Setting::ReScan, 300);
  }
  ~ChangeTriggerTest() override {
    fs_.listing_hold.Release();
    controller_->Shutdown();
  }
  void Start(FolderWatcher::AddWatchFunction add_watch = nullptr) {
    watcher_ = std::make_unique<FolderWatcher>(Strings{kStateFileName}, Strings{}, add_watch);
    controller_ = std::make_unique<ScanController>(ScanControllerSetup{
        {.watch_list = &list_, .sink = &queue_, .settings = &settings_, .fs = &fs_},
        &display_,
        &timer_,
        &sleeper_,
        nullptr,
        "",
        PassMode::kWindow,
        watcher_.get(),
        &change_timer_,
        [this] { return now_; }});
    controller_->Initialise();
  }
  void RunUntilFinished() {
    for (bool finished = false; !finished;) {
      ScanMessage message = queue_.Take();
      finished = message.id == WM_SCAN_STOPPED;  // the worker released
      controller_->Dispatch(std::move(message));
    }
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

  test::TempDir temp_;
  WatchList list_;
  MemorySettingsStore settings_;
  test::TestFileSystem fs_;
  ScanMessageQueue queue_;
  Display display_;
  Timer timer_, change_timer_;
  NoSleep sleeper_;
  std::chrono::steady_clock::time_point now_{};
  std::unique_ptr<FolderWatcher> watcher_;
  std::unique_ptr<ScanController> controller_;
};

TEST_F(ChangeTriggerTest, APassStartsOnceTheRowSettlesOrHasWaitedLongEnough) {
  struct Case {
    std::vector<int> arrivals_ms;  // after the first one
    int start_ms;                  // after the first arrival
  };
  const Case cases[] = {{{}, 2000}, {{1500}, 3500}, {{1500, 3000, 4500, 6000, 7500, 9000}, 10000}};
  for (const Case& c : cases) {
    Start();
    RunUntilFinished();
    const auto first = now_;
    Arrive("a.rar");
    for (int at : c.arrivals_ms) {
      EXPECT_FALSE(StartsAfter(first + milliseconds(at) - now_));
      Arrive("a.rar");
    }
    EXPECT_FALSE(StartsAfter(first + milliseconds(c.start_ms - 1) - now_)) << c.start_ms;
    EXPECT_TRUE(StartsAfter(milliseconds(1))) << c.start_ms;
    // As Force start: the countdown is reloaded and waits for the pass's end.
    EXPECT_EQ(display_.countdown, "0 s");
    EXPECT_FALSE(timer_.running);
    EXPECT_EQ(controller_->Countdown(), 300);
    RunUntilFinished();
    EXPECT_TRUE(timer_.running);
    EXPECT_FALSE(change_timer_.running);
    controller_->Shutdown();
  }
}

TEST_F(ChangeTriggerTest, ChangesDuringAPassGiveOneMorePassAfterIt) {
  fs_.HoldListing(temp_.Path("in"));
  Start();
  fs_.listing_hold.WaitEntered();
  Arrive("a.rar");
  now_ += milliseconds(5000);
  EXPECT_FALSE(change_timer_.running);  // no second worker beside the one running
  fs_.listing_hold.Release();
  RunUntilFinished();
  EXPECT_TRUE(StartsAfter(milliseconds(0)));
  RunUntilFinished();
  EXPECT_FALSE(StartsAfter(milliseconds(20000)));  // one more, not one after every pass
}

TEST_F(ChangeTriggerTest, TheTriggeredPassWalksOnlyTheChangedFoldersAndThoseAbove) {
  temp_.WriteFile("in/a/x.sfv", "sub\\v.rar " + test::CrcText("volume") + "\n");
  temp_.WriteFile("in/b/y.sfv", "w.rar 00000000\n");
  temp_.MakeDir("in/a/sub");
  Start();
  RunUntilFinished();
  fs_.ResetCounts();
  temp_.WriteFile("in/a/sub/v.rar", "volume");  // named by the SFV file in the folder above
  controller_->OnFolderChanges();
  ASSERT_TRUE(StartsAfter(milliseconds(2000)));
  RunUntilFinished();
  EXPECT_EQ(fs_.verified[temp_.Path("in/a/sub/v.rar")], 1);
  EXPECT_EQ(fs_.read.count(temp_.Path("in/b/y.sfv")), 0u);
}

TEST_F(ChangeTriggerTest, NothingStartsWhilePausedNorWithTheSettingOff) {
  Start();
  RunUntilFinished();
  controller_->OnPauseButton();  // the countdown
  Arrive("a.rar");
  EXPECT_FALSE(StartsAfter(milliseconds(15000)));
  controller_->OnPauseButton();
  EXPECT_TRUE(StartsAfter(milliseconds(0)));
  RunUntilFinished();

  WriteInt(settings_, Setting::ScanOnChange, 0);
  Arrive("b.rar");
  EXPECT_FALSE(StartsAfter(milliseconds(15000)));
  EXPECT_EQ(watcher_->WatchedFolders(), 0u);
  WriteInt(settings_, Setting::ScanOnChange, 1);
  controller_->OnCountdownTimer(kCountdownTimerId);  // read again at the next tick
  EXPECT_EQ(watcher_->WatchedFolders(), 1u);
}

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
  RunUntilFinished();
  temp_.MakeDir("in/c");  // refused too, if its parent is watched
  controller_->OnFolderChanges();
  ASSERT_EQ(display_.said.size(), 1u);
  EXPECT_NE(display_.said[0].find("2 folders watched, 1 not"), std::string::npos)
      << display_.said[0];
}

}  // namespace
}  // namespace qs
