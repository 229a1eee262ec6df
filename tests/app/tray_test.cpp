// Hide and Show window through CTrayIcon: with a recording tray offscreen, and (under Xvfb with
// a tray host) with the desktop's real tray. Without any tray, see the tray icon's own tests.
#include <QLineEdit>
#include <QSystemTrayIcon>
#include <QTest>

#include "app/command_ids.h"
#include "config/settings_keys.h"
#include "tests/app/desktop_test_support.h"
#include "widgets/tray_icon.h"

namespace qs::test {
namespace {

class TrayTest : public DesktopTest {
 protected:
  std::unique_ptr<MainWindow> MakeTrayWindow() {
    return MakeWindow({}, std::make_unique<RecordingTrayShell>(log_));
  }
  std::shared_ptr<RecordingTrayShell::Log> log_ = std::make_shared<RecordingTrayShell::Log>();
};

TEST_F(TrayTest, HideTwiceMakesOneIconAndShowBringsTheWindowBack) {
  auto window = MakeTrayWindow();
  window->Initialise();
  window->show();
  window->OnCommand(kIdHide);
  window->OnCommand(kIdHide);
  EXPECT_EQ(log_->adds, 1);
  EXPECT_TRUE(window->IsHiddenInTray());
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(window->Tray().GetTipText(),
            QStringLiteral("This is a Tray Icon - Right click on me!"));
  EXPECT_EQ(window->Tray().GetCallbackMsg(), 0x8007u);
  EXPECT_EQ(window->Tray().NotifyData().id, 138u);
  unsigned item = 99;
  bool by_position = false;
  window->Tray().GetDefaultMenuItem(&item, &by_position);
  EXPECT_EQ(item, 0u);
  EXPECT_TRUE(by_position);

  window->OnCommand(kIdShowWindow);
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->IsHiddenInTray());
  EXPECT_EQ(log_->deletes, 1);
  // The next hide makes the icon again.
  window->OnCommand(kIdHide);
  EXPECT_EQ(log_->adds, 2);
}

TEST_F(TrayTest, HideToTraySettingStartsInTheTray) {
  settings_.store.WriteInt("HideToTray", 1);
  auto window = MakeTrayWindow();
  window->Initialise();
  EXPECT_TRUE(window->IsHiddenInTray());
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(log_->adds, 1);
}

// A double click on the icon sends the default item, "Show window", to the window.
TEST_F(TrayTest, DoubleClickShowsTheWindow) {
  auto window = MakeTrayWindow();
  window->Initialise();
  window->show();
  window->OnCommand(kIdHide);
  window->Tray().OnNotifyIcon(138, TrayMouseEvent::kLeftDoubleClick);
  QCoreApplication::sendPostedEvents();
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->IsHiddenInTray());
}

// A "/ADDDIR:" while the window is in the tray asks for the destination but leaves the
// window where it is.
TEST_F(TrayTest, CommandWhileInTheTrayKeepsTheWindowHidden) {
  auto window = MakeTrayWindow();
  window->Initialise();
  window->OnCommand(kIdHide);
  dialogs_.directories = {"/out"};
  window->HandleCommandLine("/ADDDIR:/in");
  EXPECT_EQ(dialogs_.prompts.size(), 1u);
  EXPECT_TRUE(window->IsHiddenInTray());
  EXPECT_FALSE(window->isVisible());
}

// Needs a tray host: ctest runs it under Xvfb with trayer (with_tray_host.sh), where a missing
// tray is a failure; elsewhere it is skipped.
TEST_F(DesktopTest, RealTrayHideAndShow) {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    if (qEnvironmentVariableIsSet("QS_EXPECT_TRAY")) {
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
  EXPECT_FALSE(window->Tray().IsRemoved());
  EXPECT_FALSE(window->isVisible());
  window->OnCommand(kIdShowWindow);
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->IsHiddenInTray());
}

}  // namespace
}  // namespace qs::test
