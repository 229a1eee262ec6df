// Stopping the worker leaves the GUI thread free: while the worker is held inside a read, the
// event loop keeps serving a timer, and the window hears of the stop through the loop.
#include <QLineEdit>
#include <QTimer>

#include "app/command_ids.h"
#include "scan/crc32_engine.h"
#include "tests/app/desktop_test_support.h"

namespace qs::test {
namespace {

TEST_F(DesktopTest, TheEventLoopServesATimerWhileAWorkerHeldInAReadIsStopped) {
  const std::string volume = dir_.Path("in/big.bin");
  dir_.WriteFile("in/big.sfv", "big.bin 12345678\n");
  WriteDirs("1\r\n" + dir_.Path("in") + "\r\n" + dir_.MakeDir("out") + "\r\n");
  fs_.Serve(volume, {std::string(8 * Crc32Engine::kReadBlockSize, '\0'), 1 << 20});
  fs_.HoldRead(volume, 2);
  auto window = MakeWindow();
  window->Initialise();
  fs_.read_hold.WaitEntered();

  // Only the timer lets the read go: a stop that waited for the worker would never return.
  window->OnCommand(kIdForceStopScan);
  int ticks_while_held = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (ticks_while_held++ == 0) {
      EXPECT_TRUE(window->Controller().Stopping());
      EXPECT_EQ(window->Controls().status->text(), QStringLiteral("Running"));
      fs_.read_hold.Release();
    }
  });
  timer.start(0);
  FinishPass(*window);
  EXPECT_GE(ticks_while_held, 1);
  EXPECT_EQ(window->Controls().status->text(), QStringLiteral("Idle"));
  EXPECT_LE(fs_.blocks[volume], 3);
}

}  // namespace
}  // namespace qs::test
