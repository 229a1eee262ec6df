// Saves a picture of the settings dialog for the README when QS_SCREENSHOT names a PNG file
// (run under Xvfb, as the README says); QS_SCREENSHOT_DARK=1 gives it a dark palette. Skipped
// otherwise.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "config/memory_settings_store.h"
#include "platform/autostart.h"
#include "settings_ui/settings_dialog.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

TEST(SettingsScreenshot, SettingsDialog) {
  const QString target = qEnvironmentVariable("QS_SCREENSHOT");
  if (target.isEmpty()) {
    GTEST_SKIP() << "QS_SCREENSHOT is not set";
  }
  if (qEnvironmentVariable("QS_SCREENSHOT_DARK") == QStringLiteral("1")) {
    QApplication::setPalette(QPalette(QColor(53, 53, 53)));  // light text on dark grey
  }
  test::TempDir dir;
  MemorySettingsStore store;
  store.WriteText("PostExecution", "notify-send \"Unpacked\" \"%3\"");
  Autostart autostart(dir.Path("autostart"));
  SettingsDialog dialog(store, autostart, nullptr, "/usr/local/bin/");
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  // The delay line selected, its up-down open, as a user sees it while changing the delay.
  dialog.Tree()->SelectLine(dialog.Line(0));
  QTest::qWait(50);
  ASSERT_TRUE(dialog.grab().save(target, "PNG"));
}

}  // namespace
}  // namespace qs
