// Saves a picture of the settings dialog for the README when QS_SCREENSHOT names a PNG file
// (run under Xvfb, as the README says); QS_SCREENSHOT_DARK=1 gives it a dark palette. Skipped
// otherwise.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>

#include "config/memory_settings_store.h"
#include "platform/autostart.h"
#include "settings_ui/option_tree_editors.h"
#include "settings_ui/settings_dialog.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

QPalette DarkPalette() {
  QPalette palette;
  const QColor window(53, 53, 53);
  const QColor text(230, 230, 230);
  palette.setColor(QPalette::Window, window);
  palette.setColor(QPalette::WindowText, text);
  palette.setColor(QPalette::Base, QColor(25, 25, 25));
  palette.setColor(QPalette::AlternateBase, window);
  palette.setColor(QPalette::Text, text);
  palette.setColor(QPalette::Button, window);
  palette.setColor(QPalette::ButtonText, text);
  palette.setColor(QPalette::Highlight, QColor(42, 110, 190));
  palette.setColor(QPalette::HighlightedText, Qt::white);
  for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    palette.setColor(QPalette::Disabled, role, QColor(120, 120, 120));
  }
  return palette;
}

TEST(SettingsScreenshot, SettingsDialog) {
  const QString target = qEnvironmentVariable("QS_SCREENSHOT");
  if (target.isEmpty()) {
    GTEST_SKIP() << "QS_SCREENSHOT is not set";
  }
  if (qEnvironmentVariable("QS_SCREENSHOT_DARK") == QStringLiteral("1")) {
    QApplication::setPalette(DarkPalette());
  }
  test::TempDir dir;
  MemorySettingsStore store;
  store.WriteText("PostExecution", "notify-send \"Unpacked\" \"%3\"");
  store.WriteInt("RenameSFV", 1);
  Autostart autostart(dir.Path("autostart"));
  SettingsDialog dialog(store, autostart, nullptr, "/usr/local/bin/");
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  // The delay line selected, its up-down open, as a user sees it while changing the delay.
  dialog.Tree()->SelectLine(dialog.Line(0));
  QTest::qWait(50);
  const QImage image = dialog.grab().toImage();
  ASSERT_FALSE(image.isNull());
  ASSERT_TRUE(image.save(target, "PNG"));
}

}  // namespace
}  // namespace qs
