// Saves a picture of the main window for the README when QS_SCREENSHOT names a PNG file (run
// under Xvfb, as docs/README says); skipped otherwise.
#include <QImage>
#include <QLineEdit>
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
  WriteDirs(
      "1\r\n/home/you/Downloads\r\n/home/you/Unpacked\r\n"
      "1\r\n/srv/incoming/usenet\r\n/srv/media/new\r\n"
      "0\r\n/mnt/usb/old downloads\r\n/home/you/Unpacked/old\r\n");
  settings_.store.WriteText("PostExecution", "notify-send \"Unpacked\" \"%3\"");
  auto window = MakeWindow();
  window->Initialise();
  FinishPass(*window);
  // A pass as it looks half way: the first row checked, the second under way.
  window->SetStatusText("Running");
  window->SetProgressPercent(0, 3, 100);
  window->SetProgressPercent(1, 3, 42);
  window->SetFileProgress(60);
  window->SetCountdownText("0 s");
  window->Controls().list->SelectRow(1);
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  const QImage image = window->grab().toImage();
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), window->size() * image.devicePixelRatio());
  ASSERT_TRUE(image.save(target, "PNG"));
}

}  // namespace
}  // namespace qs::test
