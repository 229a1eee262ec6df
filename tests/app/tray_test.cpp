// Hide and Show window through CTrayIcon with the desktop's real tray, under Xvfb with a tray
// host. Without any tray, see the tray icon's own tests.
#include <QSystemTrayIcon>
#include <QTest>

#include "app/command_ids.h"
#include "tests/app/desktop_test_support.h"
#include "widgets/tray_icon.h"

namespace qs::test {
namespace {

// Needs a tray host: ctest runs it under Xvfb with trayer (with_tray_host.sh), where a missing
// tray is a failure; elsewhere it is skipped.
TEST_F(DesktopTest, RealTrayHideAndShow) {
  // The tray host may take its selection a moment after its panel shows.
  const bool expected = qEnvironmentVariableIsSet("QS_EXPECT_TRAY");
  if (!QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); },
                       expected ? 10000 : 0)) {
    if (expected) {
      FAIL() << "the tray host did not answer";
    }
    GTEST_SKIP() << "no system tray on this display";
  }
  auto window = MakeWindow();
  window->Initialise();
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  window->OnCommand(kIdHide);
  EXPECT_TRUE(window->IsHiddenInTray());
  EXPECT_FALSE(window->Tray().IsHidden());
  EXPECT_FALSE(window->isVisible());
  window->OnCommand(kIdShowWindow);
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->IsHiddenInTray());
}

}  // namespace
}  // namespace qs::test
