// CCellHeaderCtrl: where its check box sits at every scale of the style, and that only a
// section with a check state has one and reports clicks.
#include "widgets/cell_header_ctrl.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>

namespace qs {
namespace {

TEST(CellHeaderCtrlTest, OnlyASectionWithACheckStateHasABoxAndReportsClicks) {
  QStandardItemModel model(0, 2);
  model.setHorizontalHeaderLabels({QStringLiteral("Include"), QStringLiteral("Source")});
  model.setHeaderData(0, Qt::Horizontal, Qt::Unchecked, Qt::CheckStateRole);
  CCellHeaderCtrl header;
  header.setModel(&model);
  header.resizeSection(0, 80);
  header.resizeSection(1, 80);
  header.resize(160, header.sizeHint().height());
  header.show();
  QSignalSpy clicks(&header, &CCellHeaderCtrl::CheckBoxClicked);

  const QRect box = header.CheckBoxRect(0);
  const int indicator = header.style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, &header);
  EXPECT_EQ(box.height(), indicator);
  EXPECT_TRUE(header.rect().contains(box));  // the header is tall enough for it
  EXPECT_LT(box.right(), 40);                // at the left of its section
  EXPECT_EQ(header.CheckBoxRect(1), QRect());

  // The style draws the box, and a tick in it once the column is all checked.
  const QImage unchecked = header.viewport()->grab(box).toImage();
  model.setHeaderData(0, Qt::Horizontal, Qt::Checked, Qt::CheckStateRole);
  const QImage checked = header.viewport()->grab(box).toImage();
  EXPECT_NE(unchecked, checked);
  EXPECT_NE(unchecked, header.viewport()->grab(box.translated(80, 0)).toImage());

  QTest::mouseClick(header.viewport(), Qt::LeftButton, {}, QPoint(120, header.height() / 2));
  QTest::mouseClick(header.viewport(), Qt::LeftButton, {}, QPoint(40, header.height() / 2));
  ASSERT_EQ(clicks.count(), 1);
  EXPECT_EQ(clicks[0][0].toInt(), 0);
}

}  // namespace
}  // namespace qs
