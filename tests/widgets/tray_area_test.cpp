#include "widgets/tray_area.h"

#include <gtest/gtest.h>
#include <QSystemTrayIcon>

#include "widgets/notify_icon_data.h"
#include "widgets/qt_tray_shell.h"

namespace qs {
namespace {

struct AreaCase {
  const char* name;
  QRect icon;
  QRect work_area;
  QRect expected;
};

class TrayAreaTest : public ::testing::TestWithParam<AreaCase> {};

const QRect kScreen(0, 0, 1920, 1080);

TEST_P(TrayAreaTest, FindsTheAreaTheWindowAnimatesTowards) {
  const AreaCase& c = GetParam();
  EXPECT_EQ(TrayAreaFor(c.icon, kScreen, c.work_area), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Panels, TrayAreaTest,
    ::testing::Values(
        AreaCase{"icon", QRect(1800, 1050, 24, 24), QRect(0, 0, 1920, 1040),
                 QRect(1800, 1050, 24, 24)},
        AreaCase{"bottom", QRect(), QRect(0, 0, 1920, 1040), QRect(1820, 1040, 84, 40)},
        AreaCase{"top", QRect(), QRect(0, 28, 1920, 1052), QRect(1820, 0, 84, 28)},
        AreaCase{"left", QRect(), QRect(48, 0, 1872, 1080), QRect(0, 980, 48, 84)},
        AreaCase{"right", QRect(), QRect(0, 0, 1872, 1080), QRect(1872, 980, 48, 84)},
        AreaCase{"none", QRect(), QRect(0, 0, 1920, 1080), QRect(1770, 1050, 150, 30)}));

}  // namespace
}  // namespace qs
