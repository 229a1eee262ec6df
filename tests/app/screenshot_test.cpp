// Saves a picture of the main window for the README when QS_SCREENSHOT names a PNG file (run
// under Xvfb, as the README says); skipped otherwise. Always in Fusion; QS_SCREENSHOT_DARK=1
// gives it a dark palette, and QT_SCALE_FACTOR scales it as usual.
#include <QApplication>
#include <QLineEdit>
#include <QPalette>
#include <QStyleFactory>
#include <QTest>

#include "tests/app/desktop_test_support.h"
#include "widgets/cell_list_ctrl.h"

namespace qs::test {
namespace {

TEST_F(DesktopTest, MainWindowScreenshot) {
  const QString target = qEnvironmentVariable("QS_SCREENSHOT");
  if (target.isEmpty()) {
    GTEST_SKIP() << "QS_SCREENSHOT is not set";
  }
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QApplication::setPalette(qEnvironmentVariable("QS_SCREENSHOT_DARK") == QLatin1String("1")
                               ? QPalette(QColor(53, 53, 53))  // light text on dark grey
                               : QApplication::style()->standardPalette());
  WriteDirs(
      "1\r\n/home/you/Downloads\r\n/home/you/Unpacked\r\n"
      "1\r\n/srv/incoming/usenet\r\n/srv/media/new\r\n"
      "0\r\n/mnt/usb/old downloads\r\n/home/you/Unpacked/old\r\n");
  settings_.WriteText("PostExecution", "notify-send \"Unpacked\" \"%3\"");
  auto window = MakeWindow();
  window->Initialise();
  FinishPass(*window);
  // A pass as it looks half way: the first row checked, the second under way, the third not
  // reached.
  window->SetStatusText("Running");
  window->SetProgressPercent(0, 3, 100);
  window->SetProgressPercent(1, 3, 42);
  window->SetFileProgress(60);
  window->SetCountdownText("0 s");
  window->Controls().list->SelectRow(1);
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  ASSERT_TRUE(window->grab().toImage().save(target, "PNG"));
}

}  // namespace
}  // namespace qs::test
