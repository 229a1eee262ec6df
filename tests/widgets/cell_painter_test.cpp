#include "widgets/cell_painter.h"

#include <gtest/gtest.h>
#include <QPainter>

#include "widget_test_util.h"
#include "widgets/image_list.h"
#include "widgets/list_cell_data.h"
#include "widgets/sys_colours.h"

namespace qs {
namespace {

using test::CountNear;
using test::Pixel;

const QColor kSentinel(1, 2, 3);
const QColor kGrey(224, 224, 224);
const QColor kBlack(0, 0, 0);

class ProgressCellTest : public ::testing::Test {
 protected:
  // A cell 106 pixels wide has an interior of 101 pixels: x = 3 to 103.
  QImage Paint(int percent, bool label, const QString& format = {}, QRect cell = {0, 0, 106, 17}) {
    ListCellData data;
    data.progressShown = true;
    data.percent = percent;
    data.progressTextShown = label;
    data.progressFormat = format;
    return test::PaintToImage(
        QSize(cell.right() + 2, cell.bottom() + 2), kSentinel,
        [&](QPainter& painter) { PaintProgressCell(painter, cell, data, colours_text_, sys_); });
  }

  SysColours sys_ = test::DistinctColours();
  CellColours colours_text_{sys_.window_text, sys_.window};
  const QRect interior_{3, 2, 101, 14};
};

TEST_F(ProgressCellTest, FrameAndGreyInteriorLeaveTheOuterColumnsUntouched) {
  const QImage image = Paint(-1, true);
  for (int y = 0; y <= 16; ++y) {
    EXPECT_EQ(Pixel(image, 0, y), kSentinel) << y;
    EXPECT_EQ(Pixel(image, 105, y), kSentinel) << y;
    EXPECT_EQ(Pixel(image, 1, y), sys_.button_shadow) << y;
    EXPECT_EQ(Pixel(image, 104, y), sys_.button_shadow) << y;
  }
  for (int x = 1; x <= 104; ++x) {
    EXPECT_EQ(Pixel(image, x, 0), sys_.button_shadow) << x;
    EXPECT_EQ(Pixel(image, x, 16), sys_.button_shadow) << x;
  }
  for (int x = 2; x <= 103; ++x) {
    EXPECT_EQ(Pixel(image, x, 1), kBlack) << x;
  }
  for (int y = 1; y <= 15; ++y) {
    EXPECT_EQ(Pixel(image, 2, y), kBlack) << y;
  }
  EXPECT_EQ(Pixel(image, 3, 17), kSentinel);
}

TEST_F(ProgressCellTest, NegativePercentDrawsNoBarAndNoLabel) {
  const QImage image = Paint(-5, true);
  EXPECT_EQ(CountNear(image, interior_, kGrey, 0), interior_.width() * interior_.height());
}

struct BarCase {
  int percent;
  int bar_pixels;
};

class ProgressBarWidthTest : public ProgressCellTest,
                             public ::testing::WithParamInterface<BarCase> {};

TEST_P(ProgressBarWidthTest, BarWidthIsTruncatedIntegerShareOfTheInterior) {
  const BarCase c = GetParam();
  const QImage image = Paint(c.percent, false);
  for (int x = 3; x <= 103; ++x) {
    const QColor expected = x < 3 + c.bar_pixels ? sys_.highlight : kGrey;
    EXPECT_EQ(Pixel(image, x, 2), expected) << x;
    EXPECT_EQ(Pixel(image, x, 15), expected) << x;
  }
}

INSTANTIATE_TEST_SUITE_P(Shares, ProgressBarWidthTest,
                         ::testing::Values(BarCase{0, 0}, BarCase{1, 1}, BarCase{50, 50},
                                           BarCase{99, 99}, BarCase{100, 101}, BarCase{33, 33},
                                           BarCase{67, 67}));

TEST_F(ProgressCellTest, ZeroShowsTheLabelInTheTextColour) {
  const QImage image = Paint(0, true);
  EXPECT_GT(CountNear(image, interior_, sys_.window_text), 0);
  EXPECT_EQ(CountNear(image, interior_, sys_.highlight, 0), 0);
}

TEST_F(ProgressCellTest, FullBarShowsTheWholeLabelInTheBackgroundColour) {
  const QImage image = Paint(100, true);
  EXPECT_GT(CountNear(image, interior_, sys_.window), 0);
  EXPECT_EQ(CountNear(image, interior_, sys_.window_text), 0);
  EXPECT_EQ(CountNear(image, interior_, kGrey, 0), 0);
}

TEST_F(ProgressCellTest, HalfBarInvertsTheLabelWhereTheBarLies) {
  const QImage image = Paint(50, true);
  const QRect bar(3, 2, 50, 14);
  const QRect rest(54, 2, 50, 14);
  EXPECT_GT(CountNear(image, bar, sys_.window, 20), 0);
  EXPECT_EQ(CountNear(image, bar, sys_.window_text), 0);
  EXPECT_GT(CountNear(image, rest, sys_.window_text), 0);
  EXPECT_EQ(CountNear(image, rest, sys_.window, 20), 0);
  // The column between the bar and the rest belongs to neither clip: plain grey.
  for (int y = 2; y <= 15; ++y) {
    EXPECT_EQ(Pixel(image, 53, y), kGrey) << y;
  }
}

TEST_F(ProgressCellTest, CustomFormatReplacesTheLabelPattern) {
  EXPECT_EQ(Paint(42, true, QStringLiteral("%d%%")), Paint(42, true));
  EXPECT_NE(Paint(42, true, QStringLiteral("%d")), Paint(42, true));
  EXPECT_EQ(Paint(42, true, QStringLiteral("%d")), Paint(42, true, QStringLiteral("42")));
}

struct FormatCase {
  const char* format;
  int percent;
  const char* label;
};

class ProgressLabelTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(ProgressLabelTest, FormatsThePercentage) {
  const FormatCase c = GetParam();
  EXPECT_EQ(FormatProgressLabel(QString::fromUtf8(c.format), c.percent).toStdString(), c.label);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ProgressLabelTest,
    ::testing::Values(FormatCase{"", 42, "42%"}, FormatCase{"", 0, "0%"}, FormatCase{"", -3, "-3%"},
                      FormatCase{"%d of 100", 7, "7 of 100"},
                      FormatCase{"Done: %i%%", 100, "Done: 100%"}, FormatCase{"%3d%%", 5, "  5%"},
                      FormatCase{"%03d", 5, "005"}, FormatCase{"%-3d|", 5, "5  |"},
                      FormatCase{"%s %d", 9, "%s 9"}, FormatCase{"100%", 9, "100%"},
                      FormatCase{"%%d", 9, "%d"}));

class CheckCellTest : public ::testing::Test {
 protected:
  QImage Paint(const QRect& cell, int state, const QString& text, bool enabled = true) {
    return test::PaintToImage(QSize(cell.right() + 3, cell.bottom() + 3), kSentinel,
                              [&](QPainter& painter) {
                                PaintCheckCell(painter, cell, state, text, enabled, colours_, sys_);
                              });
  }

  // The sunken box of a 17-pixel-high cell whose box edge starts at `left`.
  void ExpectBoxAt(const QImage& image, int left) {
    EXPECT_EQ(Pixel(image, left - 1, 5), sys_.window);  // filled, left of the edge
    EXPECT_EQ(Pixel(image, left - 2, 5), colours_.back);
    EXPECT_EQ(Pixel(image, left, 5), sys_.button_shadow);
    EXPECT_EQ(Pixel(image, left + 5, 0), sys_.button_shadow);
    EXPECT_EQ(Pixel(image, left + 1, 5), sys_.dark_shadow);
    EXPECT_EQ(Pixel(image, left + 5, 1), sys_.dark_shadow);
    EXPECT_EQ(Pixel(image, left + 14, 5), sys_.button_highlight);
    EXPECT_EQ(Pixel(image, left + 5, 15), sys_.button_highlight);
    EXPECT_EQ(Pixel(image, left, 15), sys_.button_highlight);  // corner owned by bottom
    EXPECT_EQ(Pixel(image, left + 13, 5), sys_.light);
    EXPECT_EQ(Pixel(image, left + 5, 14), sys_.light);
    EXPECT_EQ(Pixel(image, left + 15, 5), colours_.back);
    EXPECT_EQ(Pixel(image, left + 5, 16), colours_.back);
  }

  SysColours sys_ = test::DistinctColours();
  CellColours colours_{sys_.window_text, QColor(200, 250, 200)};
};

TEST_F(CheckCellTest, BoxWithTextStartsNinePixelsInAndTextFourPixelsRightOfIt) {
  const QRect cell(4, 0, 80, 17);
  const QImage image = Paint(cell, 0, QStringLiteral("Include"));
  ExpectBoxAt(image, 4 + 10);
  const QRect gap(4 + 25, 0, 4, 17);
  EXPECT_EQ(CountNear(image, gap, colours_.back, 0), gap.width() * gap.height());
  const QRect text = test::BoundsOfNear(image, QRect(4 + 29, 0, 51, 17), sys_.window_text);
  ASSERT_FALSE(text.isEmpty());
  EXPECT_LE(text.left(), 4 + 29 + 2);
}

struct CentreCase {
  int left;
  int width;
  int box_edge;  // x of the box's outer left edge
};

class CheckCellCentreTest : public CheckCellTest,
                            public ::testing::WithParamInterface<CentreCase> {};

TEST_P(CheckCellCentreTest, BoxWithoutTextIsCentred) {
  const CentreCase c = GetParam();
  ExpectBoxAt(Paint(QRect(c.left, 0, c.width, 17), 0, QString()), c.box_edge);
}

// left + width / 2 - side / 2 - 1, then one more for the edge.
INSTANTIATE_TEST_SUITE_P(Widths, CheckCellCentreTest,
                         ::testing::Values(CentreCase{0, 30, 7}, CentreCase{0, 31, 7},
                                           CentreCase{5, 60, 27}, CentreCase{2, 45, 16}));

TEST_F(CheckCellTest, TickIsSevenThreePixelStrokes) {
  const QImage image = Paint(QRect(0, 0, 40, 17), 1, QStringLiteral("x"));
  const int bl = 10;
  const int strokes[7][2] = {{9, 3}, {8, 4}, {7, 5}, {6, 6}, {5, 7}, {4, 6}, {3, 5}};
  for (const auto& s : strokes) {
    for (int dy = 0; dy < 3; ++dy) {
      EXPECT_EQ(Pixel(image, bl + s[0], s[1] + dy), kBlack) << s[0] << "," << dy;
    }
    EXPECT_EQ(Pixel(image, bl + s[0], s[1] + 3), sys_.window) << s[0];
    EXPECT_EQ(Pixel(image, bl + s[0], s[1] - 1), sys_.window) << s[0];
  }
  EXPECT_EQ(CountNear(image, QRect(bl + 2, 2, 11, 12), kBlack, 0), 21);
}

TEST_F(CheckCellTest, UncheckedBoxHasNoTickAndDisabledTickIsGrey) {
  EXPECT_EQ(CountNear(Paint(QRect(0, 0, 40, 17), 0, QString()), QRect(0, 0, 40, 17), kBlack, 0), 0);
  const QImage disabled = Paint(QRect(0, 0, 40, 17), 1, QStringLiteral("x"), false);
  EXPECT_EQ(Pixel(disabled, 19, 3), sys_.gray_text);
  EXPECT_EQ(CountNear(disabled, QRect(12, 2, 11, 12), kBlack, 0), 0);
}

struct ColourCase {
  bool selected;
  bool full_row;
  int column;
  bool focused;
  bool show_always;
  int expected;  // 0 given, 1 highlight, 2 button face
};

class CellColoursTest : public ::testing::TestWithParam<ColourCase> {};

TEST_P(CellColoursTest, SelectionColoursFollowFocusAndStyle) {
  const ColourCase c = GetParam();
  const SysColours sys = test::DistinctColours();
  const CellColours given{QColor(1, 1, 1), QColor(2, 2, 2)};
  const CellColours got =
      GetCellColours({c.selected, c.full_row, c.focused, c.show_always}, c.column, given, sys);
  const CellColours expected[] = {
      given, {sys.highlight_text, sys.highlight}, {sys.window_text, sys.button_face}};
  EXPECT_EQ(got.text, expected[c.expected].text);
  EXPECT_EQ(got.back, expected[c.expected].back);
}

INSTANTIATE_TEST_SUITE_P(Rules, CellColoursTest,
                         ::testing::Values(ColourCase{false, true, 0, true, true, 0},
                                           ColourCase{true, true, 2, true, false, 1},
                                           ColourCase{true, false, 0, true, false, 1},
                                           ColourCase{true, false, 2, true, true, 0},
                                           ColourCase{true, true, 1, false, true, 2},
                                           ColourCase{true, true, 1, false, false, 0},
                                           ColourCase{true, false, 0, false, true, 2}));

class ImageCellTest : public ::testing::Test {
 protected:
  ImageCellTest() {
    QPixmap red(16, 16);
    red.fill(QColor(255, 0, 0));
    images_.Add(red);
  }
  ImageList images_;
  CellColours colours_{QColor(0, 0, 0), QColor(255, 255, 255)};
};

TEST_F(ImageCellTest, ImageSitsAfterTheSpacingCentredVertically) {
  int skip = -1;
  const QImage image = test::PaintToImage(QSize(60, 20), kSentinel, [&](QPainter& painter) {
    skip = PaintCellImage(painter, QRect(0, 0, 60, 20), &images_, 0, 6, colours_);
  });
  EXPECT_EQ(skip, 22);
  EXPECT_EQ(test::BoundsOfNear(image, image.rect(), QColor(255, 0, 0), 0), QRect(6, 2, 16, 16));
}

TEST_F(ImageCellTest, NarrowCellShowsPartOfTheImageAndNoImageSkipsNothing) {
  int skip = -1;
  const QImage image = test::PaintToImage(QSize(12, 17), kSentinel, [&](QPainter& painter) {
    skip = PaintCellImage(painter, QRect(0, 0, 12, 17), &images_, 0, 6, colours_);
  });
  EXPECT_EQ(skip, 22);
  EXPECT_EQ(test::BoundsOfNear(image, image.rect(), QColor(255, 0, 0), 0), QRect(6, 0, 6, 16));
  test::PaintToImage(QSize(12, 17), kSentinel, [&](QPainter& painter) {
    EXPECT_EQ(PaintCellImage(painter, QRect(0, 0, 12, 17), &images_, -1, 6, colours_), 0);
    EXPECT_EQ(PaintCellImage(painter, QRect(0, 0, 12, 17), nullptr, 0, 6, colours_), 0);
  });
}

TEST(CellTextTest, BoldAndAlignmentChangeWhereAndHowTheTextLands) {
  const CellColours colours{QColor(0, 0, 0), QColor(255, 255, 255)};
  const auto paint = [&](Qt::Alignment alignment, bool bold) {
    return test::PaintToImage(QSize(200, 17), kSentinel, [&](QPainter& painter) {
      PaintCellText(painter, QRect(0, 0, 200, 17), QStringLiteral("Source"), alignment, bold,
                    colours);
    });
  };
  const QRect left =
      test::BoundsOfNear(paint(Qt::AlignLeft, false), QRect(0, 0, 200, 17), QColor(0, 0, 0), 100);
  const QRect right =
      test::BoundsOfNear(paint(Qt::AlignRight, false), QRect(0, 0, 200, 17), QColor(0, 0, 0), 100);
  const QRect centre = test::BoundsOfNear(paint(Qt::AlignHCenter, false), QRect(0, 0, 200, 17),
                                          QColor(0, 0, 0), 100);
  EXPECT_LE(left.left(), 2);
  EXPECT_GE(right.right(), 196);
  EXPECT_NEAR(centre.center().x(), 100, 2);
  EXPECT_NE(paint(Qt::AlignLeft, true), paint(Qt::AlignLeft, false));
}

}  // namespace
}  // namespace qs
