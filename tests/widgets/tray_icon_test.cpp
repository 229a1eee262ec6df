#include "widgets/tray_icon.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QPixmap>
#include <QSignalSpy>
#include <QWidget>
#include <vector>

#include "widgets/tray_menu.h"

namespace qs {
namespace {

constexpr unsigned kCallback = 0x8007;
const QString kTip = QStringLiteral("This is a Tray Icon - Right click on me!");

struct ShellCall {
  NotifyMessage message;
  NotifyIconData data;
};

// Records every call; the icon "exists" from a successful add to a delete.
class FakeShell : public TrayShell {
 public:
  bool Available() const override { return available; }
  bool NotifyIcon(NotifyMessage message, const NotifyIconData& data) override {
    calls.push_back({message, data});
    switch (message) {
      case NotifyMessage::kAdd:
        present = !fail_add;
        return present;
      case NotifyMessage::kModify:
      case NotifyMessage::kSetFocus:
        return present;
      case NotifyMessage::kDelete:
        return std::exchange(present, false);
    }
    return false;
  }
  QRect IconGeometry() const override { return icon_geometry; }
  void SetActivationHandler(ActivationHandler h) override { handler = std::move(h); }

  bool available = true;
  bool fail_add = false;
  bool present = false;
  QRect icon_geometry;
  std::vector<ShellCall> calls;
  ActivationHandler handler;
};

class TestTrayIcon : public CTrayIcon {
 public:
  using CTrayIcon::CTrayIcon;
  using CTrayIcon::OnAnimationTimer;
};

QIcon SolidIcon(const QColor& colour) {
  QPixmap pixmap(16, 16);
  pixmap.fill(colour);
  return QIcon(pixmap);
}

class TrayIconTest : public ::testing::Test {
 protected:
  TrayIconTest() {
    auto shell = std::make_unique<FakeShell>();
    shell_ = shell.get();
    tray_ = std::make_unique<TestTrayIcon>(&window_, std::move(shell));
    tray_->SetClock([this] { return now_; });
    tray_->SetAnimator([this](const QRect& from, const QRect& to) {
      animations_.push_back({from, to});
    });
    window_.setGeometry(100, 100, 300, 200);
  }

  // As the main window's "Hide" does it.
  bool Create() {
    const bool created = tray_->CreateTray(nullptr, kCallback, kTip, icon_, kTrayMenuId);
    tray_->SetDefaultMenuItem(0, true);
    return created;
  }

  QWidget window_;
  FakeShell* shell_ = nullptr;
  std::unique_ptr<TestTrayIcon> tray_;
  QIcon icon_ = SolidIcon(Qt::blue);
  std::chrono::steady_clock::time_point now_{};
  std::vector<std::pair<QRect, QRect>> animations_;
};

TEST_F(TrayIconTest, CreateTrayAddsAVisibleIconWithMessageIconAndTip) {
  ASSERT_TRUE(Create());
  ASSERT_EQ(shell_->calls.size(), 1u);
  const ShellCall& add = shell_->calls[0];
  EXPECT_EQ(add.message, NotifyMessage::kAdd);
  EXPECT_EQ(add.data.flags, kNifMessage | kNifIcon | kNifTip);
  EXPECT_EQ(add.data.id, kTrayMenuId);
  EXPECT_EQ(add.data.callback_message, kCallback);
  EXPECT_EQ(add.data.tip, kTip);
  EXPECT_EQ(add.data.window, tray_.get());
  EXPECT_TRUE(tray_->TrayWindowExists());
  EXPECT_FALSE(tray_->IsHidden());
  EXPECT_FALSE(tray_->IsRemoved());
  EXPECT_EQ(tray_->GetTipText(), kTip);
}

struct LimitCase {
  QString text;
  int max_bytes;  // buffer size, terminator included
  QString kept;
};

class TrayTextLimitTest : public ::testing::TestWithParam<LimitCase> {};

TEST_P(TrayTextLimitTest, KeepsTheLongestWholePrefixThatFits) {
  const LimitCase& c = GetParam();
  EXPECT_EQ(TruncateToBytes(c.text, c.max_bytes), c.kept);
}

INSTANTIATE_TEST_SUITE_P(
    Buffers, TrayTextLimitTest,
    ::testing::Values(LimitCase{QString(200, u'a'), kTipBytes, QString(127, u'a')},
                      LimitCase{QString(127, u'a'), kTipBytes, QString(127, u'a')},
                      LimitCase{QString(100, u'\u00e9'), kTipBytes, QString(63, u'\u00e9')},
                      LimitCase{QString(300, u'b'), kInfoBytes, QString(255, u'b')},
                      LimitCase{QString(100, u'c'), kInfoTitleBytes, QString(63, u'c')},
                      LimitCase{QStringLiteral("ab\U0001F600"), 6, QStringLiteral("ab")},
                      LimitCase{QStringLiteral("ab\U0001F600"), 7, QStringLiteral("ab\U0001F600")},
                      LimitCase{QString(), kTipBytes, QString()}));

TEST_F(TrayIconTest, TooltipsAreCutTo127Bytes) {
  ASSERT_TRUE(tray_->CreateTray(nullptr, kCallback, QString(200, u'x'), icon_, kTrayMenuId));
  EXPECT_EQ(shell_->calls.back().data.tip, QString(127, u'x'));
  ASSERT_TRUE(tray_->SetTipText(QString(200, u'y')));
  EXPECT_EQ(shell_->calls.back().message, NotifyMessage::kModify);
  EXPECT_EQ(shell_->calls.back().data.flags, kNifTip);
  EXPECT_EQ(tray_->GetTipText(), QString(127, u'y'));
}

TEST_F(TrayIconTest, BalloonsAreCutToTheirLimitsAndShownOnce) {
  ASSERT_TRUE(tray_->CreateTray(nullptr, kCallback, kTip, icon_, kTrayMenuId, false,
                                QStringLiteral("Started"), QStringLiteral("Quarrystream"), 1, 4));
  const NotifyIconData& add = shell_->calls[0].data;
  EXPECT_EQ(add.flags, kNifMessage | kNifIcon | kNifTip | kNifInfo);
  EXPECT_EQ(add.info, QStringLiteral("Started"));
  EXPECT_EQ(add.timeout_ms, 4000u);
  EXPECT_TRUE(tray_->NotifyData().info.isEmpty());

  ASSERT_TRUE(tray_->HideTrayIcon());
  ASSERT_TRUE(tray_->PopBalloon(QString(300, u'b'), QString(100, u't'), 2, 7));
  const ShellCall& pop = shell_->calls.back();
  EXPECT_EQ(pop.message, NotifyMessage::kModify);  // even while hidden
  EXPECT_EQ(pop.data.flags, kNifInfo);
  EXPECT_EQ(pop.data.info, QString(255, u'b'));
  EXPECT_EQ(pop.data.info_title, QString(63, u't'));
  EXPECT_EQ(pop.data.info_flags, 2u);
  EXPECT_EQ(pop.data.timeout_ms, 7000u);
  EXPECT_TRUE(tray_->NotifyData().info.isEmpty());
}

TEST_F(TrayIconTest, HiddenIconStoresChangesAndItsShowCarriesThem) {
  ASSERT_TRUE(Create());
  ASSERT_TRUE(tray_->HideTrayIcon());
  EXPECT_EQ(shell_->calls.back().data.flags, kNifState);
  EXPECT_EQ(shell_->calls.back().data.state, kNisHidden);
  EXPECT_TRUE(tray_->IsHidden());
  const size_t before = shell_->calls.size();
  const QIcon red = SolidIcon(Qt::red);
  EXPECT_TRUE(tray_->ChangeIcon(red));
  EXPECT_TRUE(tray_->SetTipText(QStringLiteral("later")));
  EXPECT_TRUE(tray_->HideTrayIcon());
  EXPECT_EQ(shell_->calls.size(), before);

  ASSERT_TRUE(tray_->ShowTrayIcon());
  const ShellCall& show = shell_->calls.back();
  EXPECT_EQ(show.message, NotifyMessage::kModify);
  EXPECT_EQ(show.data.state & kNisHidden, 0u);
  EXPECT_EQ(show.data.tip, QStringLiteral("later"));
  EXPECT_EQ(show.data.icon.cacheKey(), red.cacheKey());
  EXPECT_FALSE(tray_->IsHidden());
}

TEST_F(TrayIconTest, RemoveAndAddReplaceTheIcon) {
  ASSERT_TRUE(Create());
  ASSERT_TRUE(tray_->AddTrayIcon());
  ASSERT_EQ(shell_->calls.size(), 3u);
  EXPECT_EQ(shell_->calls[1].message, NotifyMessage::kDelete);
  EXPECT_EQ(shell_->calls[2].message, NotifyMessage::kAdd);
  ASSERT_TRUE(tray_->RemoveTrayIcon());
  EXPECT_TRUE(tray_->IsRemoved());
  EXPECT_TRUE(tray_->IsHidden());
  EXPECT_TRUE(tray_->RemoveTrayIcon());
  EXPECT_EQ(shell_->calls.size(), 4u);
  ASSERT_TRUE(tray_->ShowTrayIcon());
  EXPECT_EQ(shell_->calls.back().message, NotifyMessage::kAdd);
}

TEST_F(TrayIconTest, TrayRestartReAddsOnlyAVisibleIconWithItsCreationFlags) {
  shell_->fail_add = true;
  EXPECT_FALSE(Create());
  EXPECT_TRUE(tray_->IsAddPending());
  EXPECT_TRUE(tray_->IsRemoved());

  shell_->fail_add = false;
  tray_->OnTaskbarCreated();
  EXPECT_FALSE(tray_->IsAddPending());
  EXPECT_FALSE(tray_->IsRemoved());
  EXPECT_EQ(shell_->calls.back().message, NotifyMessage::kAdd);
  EXPECT_EQ(shell_->calls.back().data.flags, kNifMessage | kNifIcon | kNifTip);

  ASSERT_TRUE(tray_->HideTrayIcon());
  size_t before = shell_->calls.size();
  tray_->OnTaskbarCreated();
  tray_->OnWorkAreaChanged();
  EXPECT_EQ(shell_->calls.size(), before);

  ASSERT_TRUE(tray_->RemoveTrayIcon());
  before = shell_->calls.size();
  tray_->OnTaskbarCreated();
  EXPECT_EQ(shell_->calls.size(), before);
}

TEST_F(TrayIconTest, WorkAreaChangeRetriesAnOwedAddOnly) {
  ASSERT_TRUE(Create());
  size_t before = shell_->calls.size();
  tray_->OnWorkAreaChanged();
  EXPECT_EQ(shell_->calls.size(), before);

  shell_->fail_add = true;
  EXPECT_FALSE(tray_->AddTrayIcon());
  EXPECT_TRUE(tray_->IsAddPending());
  shell_->fail_add = false;
  tray_->OnWorkAreaChanged();
  EXPECT_FALSE(tray_->IsRemoved());
  EXPECT_EQ(shell_->calls.back().message, NotifyMessage::kAdd);
}

TEST_F(TrayIconTest, RightClickOpensTheTrayMenuAtTheCursorWithShowWindowBold) {
  window_.show();
  ASSERT_TRUE(Create());
  QSignalSpy commands(tray_.get(), &CTrayIcon::TrayCommand);
  QCursor::setPos(QPoint(220, 180));
  shell_->handler(kTrayMenuId, TrayMouseEvent::kRightClick);
  QMenu* menu = tray_->PopupMenu();
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(menu->isVisible());
  EXPECT_EQ(menu->pos(), QCursor::pos());
  ASSERT_NE(menu->defaultAction(), nullptr);
  EXPECT_EQ(menu->defaultAction()->text(), QStringLiteral("Show window"));

  QAction* start = menu->actions().at(3);
  ASSERT_EQ(start->text(), QStringLiteral("Force start scan"));
  start->trigger();
  EXPECT_EQ(commands.count(), 0);  // posted, as a command message would be
  QApplication::processEvents();
  ASSERT_EQ(commands.count(), 1);
  EXPECT_EQ(commands.at(0).at(0).toUInt(), kCmdForceStartScan);

  menu->hide();  // a click elsewhere
  QApplication::processEvents();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(tray_->PopupMenu(), nullptr);
  EXPECT_EQ(commands.count(), 1);
}

TEST_F(TrayIconTest, DoubleClickSendsTheDefaultItemsCommand) {
  ASSERT_TRUE(Create());
  QSignalSpy commands(tray_.get(), &CTrayIcon::TrayCommand);
  EXPECT_TRUE(tray_->OnNotifyIcon(kTrayMenuId, TrayMouseEvent::kLeftDoubleClick));
  QApplication::processEvents();
  ASSERT_EQ(commands.count(), 1);
  EXPECT_EQ(commands.at(0).at(0).toUInt(), kCmdShowWindow);

  ASSERT_TRUE(tray_->SetDefaultMenuItem(kCmdSettings, false));
  tray_->OnNotifyIcon(kTrayMenuId, TrayMouseEvent::kLeftDoubleClick);
  QApplication::processEvents();
  ASSERT_EQ(commands.count(), 2);
  EXPECT_EQ(commands.at(1).at(0).toUInt(), kCmdSettings);
  unsigned item = 0;
  bool by_position = true;
  tray_->GetDefaultMenuItem(&item, &by_position);
  EXPECT_EQ(item, kCmdSettings);
  EXPECT_FALSE(by_position);
}

TEST_F(TrayIconTest, OtherMouseEventsAndOtherIconsDoNothing) {
  ASSERT_TRUE(Create());
  QSignalSpy commands(tray_.get(), &CTrayIcon::TrayCommand);
  EXPECT_TRUE(tray_->OnNotifyIcon(kTrayMenuId, TrayMouseEvent::kLeftClick));
  EXPECT_TRUE(tray_->OnNotifyIcon(kTrayMenuId, TrayMouseEvent::kMiddleClick));
  EXPECT_FALSE(tray_->OnNotifyIcon(kTrayMenuId + 1, TrayMouseEvent::kLeftDoubleClick));
  EXPECT_FALSE(tray_->OnNotifyIcon(kTrayMenuId + 1, TrayMouseEvent::kRightClick));
  QApplication::processEvents();
  EXPECT_EQ(commands.count(), 0);
  EXPECT_EQ(tray_->PopupMenu(), nullptr);
}

TEST(TrayIconNoTargetTest, MouseEventsNeedACommandTarget) {
  auto shell = std::make_unique<FakeShell>();
  CTrayIcon tray(nullptr, std::move(shell));
  ASSERT_TRUE(tray.CreateTray(nullptr, kCallback, kTip, QIcon(), kTrayMenuId));
  EXPECT_FALSE(tray.OnNotifyIcon(kTrayMenuId, TrayMouseEvent::kLeftDoubleClick));
  QWidget target;
  tray.SetCommandTarget(&target);
  EXPECT_EQ(tray.CommandTarget(), &target);
  EXPECT_TRUE(tray.OnNotifyIcon(kTrayMenuId, TrayMouseEvent::kLeftDoubleClick));
}

TEST_F(TrayIconTest, AMissingMenuIgnoresClicks) {
  tray_->SetMenuLoader([](unsigned) { return std::unique_ptr<QMenu>(); });
  ASSERT_TRUE(tray_->CreateTray(nullptr, kCallback, kTip, icon_, kTrayMenuId));
  EXPECT_FALSE(tray_->SetDefaultMenuItem(1, true));
  EXPECT_FALSE(tray_->OnNotifyIcon(kTrayMenuId, TrayMouseEvent::kRightClick));
  EXPECT_FALSE(tray_->OnNotifyIcon(kTrayMenuId, TrayMouseEvent::kLeftDoubleClick));
}

TEST_F(TrayIconTest, AnimationCyclesTheFramesAndStopsAfterItsPeriod) {
  ASSERT_TRUE(Create());
  EXPECT_FALSE(tray_->StartIconAnimation(100, 5));
  const QList<QIcon> frames{SolidIcon(Qt::red), SolidIcon(Qt::green), SolidIcon(Qt::yellow)};
  tray_->SetIconFrames(frames);
  ASSERT_TRUE(tray_->StartIconAnimation(100, 5));
  const auto shown = [this] { return tray_->CurrentIcon().cacheKey(); };
  for (const int frame : {1, 2, 0, 1}) {
    tray_->OnAnimationTimer();
    EXPECT_EQ(shown(), frames[frame].cacheKey()) << frame;
  }
  now_ += std::chrono::seconds(5);
  tray_->OnAnimationTimer();
  EXPECT_EQ(shown(), frames[2].cacheKey());
  now_ += std::chrono::milliseconds(1000);
  tray_->OnAnimationTimer();
  EXPECT_EQ(shown(), icon_.cacheKey());
  EXPECT_FALSE(tray_->StopIconAnimation());
}

TEST_F(TrayIconTest, AnimationWithoutPeriodRunsUntilStopped) {
  ASSERT_TRUE(Create());
  const QList<QIcon> frames{SolidIcon(Qt::red), SolidIcon(Qt::green)};
  tray_->SetIconFrames(frames);
  ASSERT_TRUE(tray_->StartIconAnimation(100, 0));
  now_ += std::chrono::hours(24);
  tray_->OnAnimationTimer();
  EXPECT_EQ(tray_->CurrentIcon().cacheKey(), frames[1].cacheKey());
  EXPECT_TRUE(tray_->StopIconAnimation());
  EXPECT_EQ(tray_->CurrentIcon().cacheKey(), icon_.cacheKey());
}

TEST_F(TrayIconTest, WindowGoesIntoTheTrayAndBackWithTheAnimation) {
  window_.show();
  ASSERT_TRUE(Create());
  shell_->icon_geometry = QRect(700, 580, 22, 22);
  const QRect frame = window_.frameGeometry();
  tray_->HideWindowToTray(&window_, true);
  EXPECT_FALSE(window_.isVisible());
  ASSERT_EQ(animations_.size(), 1u);
  EXPECT_EQ(animations_[0], std::make_pair(frame, QRect(700, 580, 22, 22)));

  tray_->RestoreWindowFromTray(&window_, true);
  EXPECT_TRUE(window_.isVisible());
  ASSERT_EQ(animations_.size(), 2u);
  EXPECT_EQ(animations_[1], std::make_pair(QRect(700, 580, 22, 22), frame));
}

TEST_F(TrayIconTest, WithoutSystemAnimationWindowsMoveUnanimated) {
  const bool effects = QApplication::isEffectEnabled(Qt::UI_General);
  QApplication::setEffectEnabled(Qt::UI_General, false);
  window_.show();
  ASSERT_TRUE(Create());
  tray_->HideWindowToTray(&window_, false);
  EXPECT_FALSE(window_.isVisible());
  tray_->RestoreWindowFromTray(&window_, false);
  EXPECT_TRUE(window_.isVisible());
  EXPECT_TRUE(animations_.empty());
  QApplication::setEffectEnabled(Qt::UI_General, effects);
}

TEST_F(TrayIconTest, WithoutATrayHideMinimisesInstead) {
  shell_->available = false;
  window_.show();
  EXPECT_FALSE(Create());
  EXPECT_FALSE(tray_->TrayWindowExists());
  EXPECT_FALSE(tray_->SetTipText(QStringLiteral("x")));
  tray_->HideWindowToTray(&window_, true);
  EXPECT_TRUE(window_.isMinimized());
  EXPECT_TRUE(animations_.empty());
  EXPECT_TRUE(shell_->calls.empty());
  tray_->RestoreWindowFromTray(&window_, true);
  EXPECT_FALSE(window_.isMinimized());
  EXPECT_TRUE(window_.isVisible());
}

TEST(TrayMenuTest, Menu138ListsTheTrayCommandsWithSeparators) {
  const std::unique_ptr<QMenu> menu = LoadTrayMenu(kTrayMenuId);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->title(), QStringLiteral("This menu will pop up for the tray"));
  const std::vector<std::pair<QString, unsigned>> expected{
      {QStringLiteral("Show window"), kCmdShowWindow},
      {QStringLiteral("Add directory"), kCmdAddDirectory},
      {QString(), 0},
      {QStringLiteral("Force start scan"), kCmdForceStartScan},
      {QStringLiteral("Force stop scan"), kCmdForceStopScan},
      {QString(), 0},
      {QStringLiteral("Settings"), kCmdSettings},
      {QString(), 0},
      {QStringLiteral("Quit"), kCmdQuit}};
  const QList<QAction*> actions = menu->actions();
  ASSERT_EQ(actions.size(), static_cast<qsizetype>(expected.size()));
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(actions[static_cast<qsizetype>(i)]->isSeparator(), expected[i].first.isEmpty());
    EXPECT_EQ(actions[static_cast<qsizetype>(i)]->text(), expected[i].first);
    EXPECT_EQ(actions[static_cast<qsizetype>(i)]->data().toUInt(), expected[i].second);
  }
  EXPECT_EQ(LoadTrayMenu(129), nullptr);
}

}  // namespace
}  // namespace qs
