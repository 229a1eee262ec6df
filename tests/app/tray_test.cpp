// Hide and Show window through CTrayIcon: with a recording tray offscreen, and (under Xvfb with
// a tray host) with the desktop's real tray. Without any tray, see the tray icon's own tests.
#include <QMenu>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTest>
#include <csignal>

#include "app/command_ids.h"
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

// Hide twice makes one icon; a "/ADDDIR:" meanwhile asks for the destination but leaves the
// window in the tray; a double click on the icon sends the default item, "Show window".
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
  dialogs_.directories = {"/out"};
  window->HandleCommandLine("/ADDDIR:/in");
  EXPECT_EQ(dialogs_.prompts.size(), 1u);
  EXPECT_TRUE(window->IsHiddenInTray());
  EXPECT_FALSE(window->isVisible());

  window->Tray().OnActivated(QSystemTrayIcon::DoubleClick);
  QCoreApplication::sendPostedEvents();
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->IsHiddenInTray());
  EXPECT_EQ(log_->deletes, 1);
  window->OnCommand(kIdHide);  // the next hide makes the icon again
  EXPECT_EQ(log_->adds, 2);
  window->OnCommand(kIdShowWindow);
  EXPECT_TRUE(window->isVisible());
}

TEST_F(TrayTest, HideToTraySettingStartsInTheTray) {
  settings_.store.WriteInt("HideToTray", 1);
  auto window = MakeTrayWindow();
  window->Initialise();
  EXPECT_TRUE(window->IsHiddenInTray());
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(log_->adds, 1);
}

TEST(TrayMenuTest, ListsTheTrayCommandsWithShowWindowFirst) {
  const std::unique_ptr<QMenu> menu = LoadTrayMenu();
  EXPECT_EQ(MenuItems(menu.get()),
            "Show window=32772|Add directory=1002|-|Force start scan=32773|Force stop scan=32774|-|"
            "Settings=32771|-|Quit=2");
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
  EXPECT_FALSE(window->Tray().IsHidden());
  EXPECT_FALSE(window->isVisible());
  window->OnCommand(kIdShowWindow);
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->IsHiddenInTray());
}

// The tray host goes away and a new one starts at the top of the screen: the icon that was
// shown moves into the new tray by itself. Needs with_tray_host.sh, as above.
TEST_F(DesktopTest, RealTrayIconComesBackWhenTheTrayHostRestarts) {
  const qint64 trayer = qEnvironmentVariableIntValue("QS_TRAYER_PID");
  if (!QSystemTrayIcon::isSystemTrayAvailable() || trayer <= 0) {
    GTEST_SKIP() << "no tray host of our own on this display";
  }
  auto window = MakeWindow();
  window->Initialise();
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  window->OnCommand(kIdHide);
  const QSystemTrayIcon* icon = window->Tray().findChild<QSystemTrayIcon*>();
  ASSERT_NE(icon, nullptr);
  QTRY_VERIFY(icon->geometry().top() > 100);  // docked at the bottom
  ASSERT_EQ(::kill(static_cast<pid_t>(trayer), SIGTERM), 0);
  QProcess top;
  top.start(QStringLiteral("trayer"), QStringLiteral("--edge top --align right --widthtype pixel "
                                                     "--width 120 --height 24")
                                          .split(QLatin1Char(' ')));
  ASSERT_TRUE(top.waitForStarted());
  QTRY_VERIFY_WITH_TIMEOUT(icon->geometry().isValid() && icon->geometry().top() < 24, 10000);
  EXPECT_TRUE(window->IsHiddenInTray());
  top.terminate();
  top.waitForFinished();
}

}  // namespace
}  // namespace qs::test
