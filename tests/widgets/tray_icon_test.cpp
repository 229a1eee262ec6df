// CTrayIcon over a recording tray: the tray menu and the double click, and a window's moves into
// and out of the tray with and without a tray or a known icon position. (The icon's life and its
// balloons are seen through the window in the app tests; Qt itself puts the icon back when the
// tray host restarts, which the desktop tests show in a real X session.)
#include "widgets/tray_icon.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QSignalSpy>

namespace qs {
namespace {

// The tray as CTrayIcon sees it, and its click handler to click with.
class RecordingShell : public TrayShell {
 public:
  bool Available() const override { return available; }
  void SetIcon(const QIcon&, const QString&) override {}
  void SetVisible(bool) override {}
  void ShowMessage(const QString&, const QString&, QSystemTrayIcon::MessageIcon, int) override {}
  QRect IconGeometry() const override { return geometry; }
  void SetActivationHandler(ActivationHandler on_click) override { handler = std::move(on_click); }

  bool available = true;
  QRect geometry;  // where the window system says the icon is; empty: it does not say
  ActivationHandler handler;
};

class TrayIconTest : public ::testing::Test {
 protected:
  TrayIconTest() {
    tray_->SetMenuLoader([](unsigned id) {
      EXPECT_EQ(id, 7u);  // the icon's own menu
      auto menu = std::make_unique<QMenu>();
      menu->addAction(QStringLiteral("Show"))->setData(11u);
      menu->addSeparator();
      menu->addAction(QStringLiteral("Quit"))->setData(2u);
      return menu;
    });
    tray_->SetAnimator([this](const QRect& from, const QRect& to) {
      zooms_.push_back({from, to});
    });
  }
  bool Create() { return tray_->CreateTray(nullptr, 0, QStringLiteral("tip"), QIcon(), 7); }

  QWidget window_;
  RecordingShell* shell_ = new RecordingShell;
  std::unique_ptr<CTrayIcon> tray_ =
      std::make_unique<CTrayIcon>(&window_, std::unique_ptr<TrayShell>(shell_));
  QSignalSpy commands_{tray_.get(), &CTrayIcon::TrayCommand};
  std::vector<std::pair<QRect, QRect>> zooms_;
};

// Commands are posted: they arrive once the event loop runs.
TEST_F(TrayIconTest, DoubleClickPostsTheDefaultCommandAndRightClickOpensTheMenu) {
  Create();
  EXPECT_TRUE(tray_->SetDefaultMenuItem(0, true));
  shell_->handler(QSystemTrayIcon::DoubleClick);
  EXPECT_EQ(tray_->PopupMenu(), nullptr);
  shell_->handler(QSystemTrayIcon::Context);
  QMenu* menu = tray_->PopupMenu();
  ASSERT_NE(menu, nullptr);
  ASSERT_NE(menu->defaultAction(), nullptr);
  EXPECT_EQ(menu->defaultAction()->text(), QStringLiteral("Show"));
  menu->actions().last()->trigger();
  tray_->SetDefaultMenuItem(1, true);  // a separator: no command
  for (const auto reason :
       {QSystemTrayIcon::DoubleClick, QSystemTrayIcon::Trigger, QSystemTrayIcon::MiddleClick}) {
    shell_->handler(reason);
  }
  EXPECT_EQ(commands_.count(), 0);
  QCoreApplication::sendPostedEvents();
  ASSERT_EQ(commands_.count(), 2);
  EXPECT_EQ(commands_[0][0].toUInt(), 11u);
  EXPECT_EQ(commands_[1][0].toUInt(), 2u);
}

// Without a tray the window stays reachable: minimised, not hidden. The zoom is drawn only where
// the window system says where the icon is.
TEST_F(TrayIconTest, WindowGoesIntoTheTrayAndBack) {
  const QRect icon(600, 580, 22, 22);
  const struct {
    bool tray;
    QRect icon;
    bool zooms;
  } cases[] = {{true, icon, true}, {true, QRect(), false}, {false, icon, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << &c - cases);
    zooms_.clear();
    tray_->DestroyTrayWindow();
    shell_->available = c.tray;
    shell_->geometry = c.icon;
    EXPECT_EQ(Create(), c.tray);
    window_.show();
    const QRect frame = window_.frameGeometry();
    tray_->HideWindowToTray(&window_, true);
    EXPECT_EQ(window_.isVisible(), !c.tray);
    EXPECT_EQ(window_.isMinimized(), !c.tray);
    tray_->RestoreWindowFromTray(&window_, true);
    EXPECT_TRUE(window_.isVisible());
    EXPECT_FALSE(window_.isMinimized());
    const std::vector<std::pair<QRect, QRect>> expected = {{frame, c.icon}, {c.icon, frame}};
    EXPECT_EQ(zooms_, c.zooms ? expected : decltype(expected){});
  }
}

}  // namespace
}  // namespace qs
