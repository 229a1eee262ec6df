// Runs the desktop program's tests inside one QApplication, on the offscreen platform unless
// QT_QPA_PLATFORM names another (the tray tests run under Xvfb with a tray host).
#include <gtest/gtest.h>
#include <QApplication>

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
