// Stopping the worker leaves the GUI thread free: while the worker is held inside a read, the
// event loop keeps serving a timer, and the controller hears of the stop through the loop.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

#include "config/memory_settings_store.h"
#include "config/watch_list.h"
#include "scan/countdown_timer.h"
#include "scan/crc32_engine.h"
#include "scan/scan_controller.h"
#include "scan/scan_display.h"
#include "scan/scan_message_queue.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"

namespace qs::test {
namespace {

class StatusDisplay final : public ScanDisplay {
 public:
  void SetStatusText(std::string_view text) override { status = text; }
  void SetCountdownText(std::string_view) override {}
  void SetProgressPercent(std::int64_t, int, std::int64_t) override {}
  void SetFileProgress(std::int64_t) override {}
  std::size_t RowCount() const override { return 1; }
  std::string PostExecutionText() const override { return {}; }
  std::string status;
};

class UnusedTimer final : public CountdownTimer {
 public:
  void Start(std::chrono::milliseconds) override {}
  void Stop() override {}
};

TEST(WorkerStop, TheEventLoopServesATimerWhileAWorkerHeldInAReadIsStopped) {
  TempDir temp;
  WatchList list;
  list.Append({temp.MakeDir("in"), temp.MakeDir("out"), 1});
  const std::string volume = temp.Path("in/big.bin");
  temp.WriteFile("in/big.sfv", "big.bin 12345678\n");
  TestFileSystem fs;
  fs.Serve(volume, {std::string(8 * Crc32Engine::kReadBlockSize, '\0'), 1 << 20});
  fs.HoldRead(volume, 2);
  MemorySettingsStore settings;
  StatusDisplay display;
  UnusedTimer countdown;
  QEventLoop loop;
  ScanMessageQueue queue;
  // Real sleeping: the loop goes on through the grace as well.
  ScanController controller(
      {{.watch_list = &list, .sink = &queue, .settings = &settings, .fs = &fs},
       &display,
       &countdown,
       nullptr,
       {}});
  queue.SetWakeUp([&] {
    QMetaObject::invokeMethod(
        &loop,
        [&] {
          for (ScanMessage message; queue.TryTake(message);) {
            controller.Dispatch(std::move(message));
          }
          if (!controller.HasWorker()) {
            loop.quit();
          }
        },
        Qt::QueuedConnection);
  });
  controller.Initialise();
  fs.read_hold.WaitEntered();

  // Only the timer lets the read go: a stop that waited for the worker would never return.
  controller.OnForceStopScan();
  int ticks_while_held = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (ticks_while_held++ == 0) {
      EXPECT_TRUE(controller.Stopping());
      EXPECT_EQ(display.status, "Running");
      fs.read_hold.Release();
    }
  });
  timer.start(0);
  loop.exec();
  EXPECT_GE(ticks_while_held, 1);
  EXPECT_FALSE(controller.HasWorker());
  EXPECT_EQ(display.status, "Idle");
  EXPECT_LE(fs.blocks[volume], 3);
}

}  // namespace
}  // namespace qs::test
