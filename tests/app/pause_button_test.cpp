// The "P" button looks pressed exactly while the pass or the countdown is paused.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/command_ids.h"
#include "tests/app/desktop_test_support.h"

namespace qs::test {
namespace {

TEST_F(DesktopTest, PauseButtonLooksPressedWhilePaused) {
  auto window = MakeWindow();
  window->Initialise();
  window->show();
  const MainWindowControls& c = window->Controls();
  EXPECT_TRUE(c.pause->isCheckable());
  EXPECT_FALSE(c.pause->isChecked());
  QTest::mouseClick(c.pause, Qt::LeftButton);  // the pass pauses
  EXPECT_EQ(c.status->text(), QStringLiteral("Paused"));
  EXPECT_TRUE(c.pause->isChecked());
  QTest::mouseClick(c.pause, Qt::LeftButton);
  EXPECT_EQ(c.status->text(), QStringLiteral("Running"));
  EXPECT_FALSE(c.pause->isChecked());
  QTest::mouseClick(c.pause, Qt::LeftButton);
  window->OnCommand(kIdForceStopScan);  // a paused pass stops: counting down
  FinishPass(*window);
  EXPECT_FALSE(c.pause->isChecked());
  window->OnCommand(kIdPause);
  EXPECT_TRUE(c.pause->isChecked());
  window->OnCommand(kIdForceStartScan);
  EXPECT_FALSE(c.pause->isChecked());
}

}  // namespace
}  // namespace qs::test
