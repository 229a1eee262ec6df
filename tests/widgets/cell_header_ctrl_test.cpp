#include "widgets/cell_header_ctrl.h"

#include <gtest/gtest.h>
#include <QPainter>
#include <QTreeWidget>

#include "widget_test_util.h"
#include "widgets/image_list.h"
#include "widgets/list_images.h"
#include "widgets/sys_colours.h"

namespace qs {
namespace {

using test::Pixel;

const QColor kBlue(0, 0, 255);

class CellHeaderCtrlTest : public ::testing::Test {
 protected:
  CellHeaderCtrlTest() {
    LoadListImages(images_);
    view_.setPalette(test::DistinctPalette());
    header_ = new CCellHeaderCtrl(&view_);
    view_.setHeader(header_);
    view_.setHeaderLabels(
        {QStringLiteral("Include"), QStringLiteral("Source"), QStringLiteral("Progress")});
    header_->SetImageList(&images_);
    header_->resizeSection(0, 100);
    header_->resizeSection(1, 80);
    header_->resizeSection(2, 60);
    view_.resize(400, 150);
    view_.show();
    sys_ = SysColours::FromPalette(header_->palette());
  }

  QImage Grab() { return test::Grab(*header_); }
  int Height() const { return header_->height(); }

  // The header image `index` as drawn over the face colour.
  QImage Reference(int index) {
    return test::PaintToImage(QSize(16, 16), sys_.button_face, [&](QPainter& painter) {
      images_.Draw(painter, index, QPoint(0, 0), QSize(16, 16));
    });
  }

  QRect Caption(const QImage& image, int left, int width) {
    return test::BoundsOfNear(image, QRect(left, 0, width, Height()), kBlue, 80);
  }

  ImageList images_;
  QTreeWidget view_;
  CCellHeaderCtrl* header_ = nullptr;
  SysColours sys_;
};

TEST_F(CellHeaderCtrlTest, CaptionIsBlueAndCentredWhateverTheColumnFormat) {
  view_.headerItem()->setTextAlignment(0, Qt::AlignRight);
  const QImage image = Grab();
  const QRect caption = Caption(image, 0, 100);
  ASSERT_FALSE(caption.isEmpty());
  EXPECT_NEAR(caption.center().x(), 50, 1);
  EXPECT_EQ(Pixel(image, 3, Height() / 2), sys_.button_face);
  EXPECT_EQ(Pixel(image, 96, Height() / 2), sys_.button_face);
}

class HeaderCheckImageTest : public CellHeaderCtrlTest,
                             public ::testing::WithParamInterface<int> {};

TEST_P(HeaderCheckImageTest, BoxSitsAtTheLeftAndTheCaptionCentresInTheRest) {
  const int image_index = GetParam();
  ASSERT_TRUE(header_->SetItemImage(0, image_index));
  const QImage image = Grab();
  const int top = Height() / 2 - 8;
  EXPECT_EQ(image.copy(6, top, 16, 16), Reference(image_index));
  // Caption space: from image right + spacing to item right - spacing.
  const QRect caption = Caption(image, 0, 100);
  ASSERT_FALSE(caption.isEmpty());
  EXPECT_NEAR(caption.center().x(), (28 + 94) / 2, 1);
}

INSTANTIATE_TEST_SUITE_P(UncheckedAndChecked, HeaderCheckImageTest, ::testing::Values(1, 2));

TEST_F(CellHeaderCtrlTest, ImageZeroShowsNoBox) {
  ASSERT_TRUE(header_->SetItemImage(0, 2));
  ASSERT_TRUE(header_->SetItemImage(0, 0));
  const QImage image = Grab();
  const QRect box(6, Height() / 2 - 8, 16, 16);
  EXPECT_EQ(test::CountNear(image, box, sys_.button_face, 0), 16 * 16);
  EXPECT_NEAR(Caption(image, 0, 100).center().x(), 50, 1);
}

TEST_F(CellHeaderCtrlTest, DividersBetweenItemsAndAFrameOverTheItemsOnly) {
  const QImage image = Grab();
  const int h = Height();
  for (const int right : {100, 180}) {
    EXPECT_EQ(Pixel(image, right - 1, 2), sys_.button_shadow) << right;
    EXPECT_EQ(Pixel(image, right - 1, h - 3), sys_.button_shadow) << right;
    EXPECT_EQ(Pixel(image, right, 2), sys_.button_highlight) << right;
    EXPECT_EQ(Pixel(image, right, h - 3), sys_.button_highlight) << right;
    EXPECT_EQ(Pixel(image, right - 1, 1), sys_.button_face) << right;
    EXPECT_EQ(Pixel(image, right, h - 2), sys_.button_face) << right;
  }
  // After the last item: the frame's right edge, and no divider.
  EXPECT_EQ(Pixel(image, 239, h / 2), sys_.button_shadow);
  EXPECT_EQ(Pixel(image, 240, h / 2), sys_.button_face);
  // The 3-D frame: highlight top and left, shadow bottom and right, bottom owning corners.
  EXPECT_EQ(Pixel(image, 0, h / 2), sys_.button_highlight);
  EXPECT_EQ(Pixel(image, 120, 0), sys_.button_highlight);
  EXPECT_EQ(Pixel(image, 238, 0), sys_.button_highlight);
  EXPECT_EQ(Pixel(image, 239, 0), sys_.button_shadow);
  EXPECT_EQ(Pixel(image, 0, h - 1), sys_.button_shadow);
  EXPECT_EQ(Pixel(image, 120, h - 1), sys_.button_shadow);
  // Nothing right of the items but the face.
  const QRect empty(240, 0, header_->width() - 240, h);
  EXPECT_EQ(test::CountNear(image, empty, sys_.button_face, 0), empty.width() * empty.height());
}

TEST_F(CellHeaderCtrlTest, LongCaptionIsCutWithinItsItem) {
  view_.headerItem()->setText(2, QStringLiteral("Destination directory of every set"));
  const QImage image = Grab();
  const QRect caption = Caption(image, 180, 60);
  ASSERT_FALSE(caption.isEmpty());
  EXPECT_GE(caption.left(), 186);
  EXPECT_LE(caption.right(), 233);
  EXPECT_EQ(Pixel(image, 239, Height() / 2), sys_.button_shadow);
}

TEST_F(CellHeaderCtrlTest, OwnerDrawnItemLeavesTheFaceColour) {
  view_.model()->setHeaderData(1, Qt::Horizontal, true, CCellHeaderCtrl::kOwnerDrawRole);
  const QImage image = Grab();
  const QRect inside(101, 2, 77, Height() - 4);
  EXPECT_EQ(test::CountNear(image, inside, sys_.button_face, 0), inside.width() * inside.height());
}

TEST_F(CellHeaderCtrlTest, BitmapSitsAtTheRightOfTheItem) {
  QPixmap bitmap(8, 8);
  bitmap.fill(QColor(0, 200, 0));
  view_.model()->setHeaderData(0, Qt::Horizontal, bitmap, CCellHeaderCtrl::kBitmapRole);
  const QImage image = Grab();
  EXPECT_EQ(test::BoundsOfNear(image, QRect(0, 0, 100, Height()), QColor(0, 200, 0), 0),
            QRect(100 - 6 - 8, Height() / 2 - 4, 8, 8));
  EXPECT_NEAR(Caption(image, 0, 100).center().x(), (6 + 80) / 2, 1);
}

TEST_F(CellHeaderCtrlTest, OffscreenAndDirectPaintingMatch) {
  header_->SetItemImage(0, 1);
  const QImage buffered = Grab();
  header_->SetDoubleBuffered(false);
  EXPECT_EQ(Grab(), buffered);
}

TEST_F(CellHeaderCtrlTest, ItemSpacingMovesTheImage) {
  header_->SetItemImage(0, 1);
  EXPECT_TRUE(header_->SetHeaderValue(1, 10));
  EXPECT_EQ(Grab().copy(10, Height() / 2 - 8, 16, 16), Reference(1));
  EXPECT_TRUE(header_->SetHeaderValue(2, 5));
  EXPECT_EQ(header_->HeaderValue(2), 5);
  EXPECT_FALSE(header_->SetHeaderValue(5, 1));
  EXPECT_FALSE(header_->SetHeaderValue(0, 1));
}

TEST_F(CellHeaderCtrlTest, PaletteChangeRepaintsWithTheNewColoursButBlueCaptions) {
  QPalette palette = test::DistinctPalette();
  palette.setColor(QPalette::Button, QColor(200, 220, 240));
  palette.setColor(QPalette::Dark, QColor(90, 60, 30));
  palette.setColor(QPalette::ButtonText, QColor(255, 0, 0));
  header_->setPalette(palette);
  const QImage image = Grab();
  EXPECT_EQ(Pixel(image, 3, Height() / 2), QColor(200, 220, 240));
  EXPECT_EQ(Pixel(image, 99, 2), QColor(90, 60, 30));
  EXPECT_FALSE(Caption(image, 0, 100).isEmpty());
  EXPECT_EQ(test::CountNear(image, QRect(0, 0, 240, Height()), QColor(255, 0, 0), 80), 0);
}

}  // namespace
}  // namespace qs
