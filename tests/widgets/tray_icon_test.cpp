// CTrayIcon over a recording tray: the icon's life, balloons, the tray menu and the double
// click, and a window's moves into and out of the tray with and without a tray or a known icon
// position. (Qt itself puts the icon back when the tray host restarts; the desktop tests show
// that in a real X session.)
#include "widgets/tray_icon.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QSignalSpy>

namespace qs {
namespace {

// What CTrayIcon asked of the tray, and its click handler to click with.
class RecordingShell : public TrayShell {
 public:
  bool Available() const override { return available; }
  void SetIcon(const QIcon&, const QString& text) override { tip = text; }
  void SetVisible(bool shown) override { visible = shown; }
  void ShowMessage(const QString& title, const QString& text, QSystemTrayIcon::MessageIcon icon,
                   int milliseconds) override {
    messages << QStringLiteral("%1|%2|%3|%4").arg(title, text).arg(icon).arg(milliseconds);
  }
  QRect IconGeometry() const override { return geometry; }
  void SetActivationHandler(ActivationHandler on_click) override { handler = std::move(on_click); }

  bool available = true;
  bool visible = false;
  QString tip;
  QRect geometry;
  QStringList messages;  // "title|text|icon|ms"
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
    window_.setGeometry(100, 100, 200, 100);
  }
  bool Create() { return tray_->CreateTray(nullptr, 0, QStringLiteral("tip"), QIcon(), 7); }
  // Commands are posted: they arrive once the event loop runs.
  QList<unsigned> Commands() {
    EXPECT_EQ(commands_.count(), 0);
    QCoreApplication::sendPostedEvents();
    QList<unsigned> commands;
    for (const QList<QVariant>& signal : commands_) {
      commands << signal[0].toUInt();
    }
    return commands;
  }

  QWidget window_;
  RecordingShell* shell_ = new RecordingShell;
  std::unique_ptr<CTrayIcon> tray_ =
      std::make_unique<CTrayIcon>(&window_, std::unique_ptr<TrayShell>(shell_));
  QSignalSpy commands_{tray_.get(), &CTrayIcon::TrayCommand};
  std::vector<std::pair<QRect, QRect>> zooms_;
};

TEST_F(TrayIconTest, CreateShowsTheIconAndDestroyTakesItAway) {
  EXPECT_TRUE(Create());
  EXPECT_TRUE(shell_->visible);
  EXPECT_EQ(shell_->tip, QStringLiteral("tip"));
  EXPECT_TRUE(tray_->PopBalloon(QStringLiteral("text"), QStringLiteral("title"), 2, 3));
  EXPECT_EQ(shell_->messages, QStringList{QStringLiteral("title|text|2|3000")});
  tray_->HideTrayIcon();
  EXPECT_FALSE(shell_->visible);
  EXPECT_FALSE(tray_->PopBalloon(QStringLiteral("unseen")));  // no icon to show it at
  tray_->ShowTrayIcon();
  tray_->DestroyTrayWindow();
  EXPECT_FALSE(shell_->visible);
  EXPECT_FALSE(tray_->TrayWindowExists());
  EXPECT_FALSE(tray_->ShowTrayIcon());
}

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
  EXPECT_EQ(Commands(), (QList<unsigned>{11u, 2u}));
}

TEST_F(TrayIconTest, WindowGoesIntoTheTrayAndBack) {
  const QRect icon(600, 580, 22, 22);
  const struct {
    bool tray;
    QRect icon;  // where the window system says the icon is; empty: it does not say
    bool force;
    bool zooms;
  } cases[] = {{true, icon, true, true},
               {true, QRect(), true, false},
               {true, icon, false, false},  // animations off on this desktop
               {false, icon, true, false}};
  const bool effects = QApplication::isEffectEnabled(Qt::UI_General);
  QApplication::setEffectEnabled(Qt::UI_General, false);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << &c - cases);
    zooms_.clear();
    tray_->DestroyTrayWindow();
    shell_->available = c.tray;
    shell_->geometry = c.icon;
    EXPECT_EQ(Create(), c.tray);
    window_.show();
    const QRect frame = window_.frameGeometry();
    tray_->HideWindowToTray(&window_, c.force);
    // Without a tray the window stays reachable: minimised, not hidden.
    EXPECT_EQ(window_.isVisible(), !c.tray);
    EXPECT_EQ(window_.isMinimized(), !c.tray);
    tray_->RestoreWindowFromTray(&window_, c.force);
    EXPECT_TRUE(window_.isVisible());
    EXPECT_FALSE(window_.isMinimized());
    const std::vector<std::pair<QRect, QRect>> expected = {{frame, c.icon}, {c.icon, frame}};
    EXPECT_EQ(zooms_, c.zooms ? expected : decltype(expected){});
  }
  QApplication::setEffectEnabled(Qt::UI_General, effects);
}

}  // namespace
}  // namespace qs
