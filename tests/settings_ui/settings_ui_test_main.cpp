// Runs the settings dialog tests inside one QApplication, offscreen unless QT_QPA_PLATFORM
// says otherwise (the screenshot is taken under Xvfb), in Fusion so that every run draws alike.
#include <gtest/gtest.h>
#include <QApplication>

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication::setStyle(QStringLiteral("Fusion"));
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
