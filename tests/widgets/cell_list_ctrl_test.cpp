// CCellListCtrl as the watch list uses it: check cells that toggle and notify, the header
// check box that follows and toggles its column, progress cells and their labels, disabled
// rows, the item roles, and the failure values for cells that do not exist.
#include "widgets/cell_list_ctrl.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QIcon>
#include <QSignalSpy>
#include <QTest>

#include "widgets/cell_header_ctrl.h"
#include "widgets/cell_list_model.h"
#include "widgets/image_list.h"

namespace qs {
namespace {

class CellListCtrlTest : public ::testing::Test {
 protected:
  CellListCtrlTest() {
    list_.resize(480, 200);
    for (const char* heading :
         {"Include", "Source directory", "Destination directory", "Progress"}) {
      list_.InsertColumn(list_.GetColumnCount(), QString::fromLatin1(heading), Qt::AlignLeft, 100);
    }
    for (int row = 0; row < 3; ++row) {
      list_.InsertRow(row, QString());
      list_.SetCheckState(row, 0, 0);
      list_.SetCellText(row, 1, QStringLiteral("/in/%1").arg(row));
      list_.ShowProgress(row, 3);
    }
    list_.SetHeaderCheck(0, 1);
    list_.show();
  }

  void ClickCell(int row, int column) {
    QRect cell;
    ASSERT_TRUE(list_.GetCellRect(row, column, &cell));
    QTest::mouseClick(list_.viewport(), Qt::LeftButton, {}, cell.center());
  }
  void ClickHeader(int column) {
    CCellHeaderCtrl* header = list_.Header();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
  }
  std::vector<int> Checks() const {
    std::vector<int> states;
    for (int row = 0; row < list_.GetItemCount(); ++row) {
      states.push_back(list_.GetCheckState(row, 0));
    }
    return states;
  }

  CCellListCtrl list_;
  QSignalSpy clicks_{&list_, &CCellListCtrl::CheckboxClicked};
};

TEST_F(CellListCtrlTest, ClickTogglesACheckCellAndNotifiesWithTheNewStateStored) {
  std::vector<int> seen;
  QObject::connect(&list_, &CCellListCtrl::CheckboxClicked, &list_,
                   [&](int row, int column) { seen.push_back(list_.GetCheckState(row, column)); });
  ClickCell(1, 0);
  ClickCell(1, 0);
  ClickCell(1, 1);  // elsewhere in the row: selects only
  ASSERT_EQ(clicks_.count(), 2);
  EXPECT_EQ(clicks_[0], (QVariantList{1, 0}));
  EXPECT_EQ(seen, (std::vector<int>{1, 0}));
  EXPECT_EQ(Checks(), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(list_.GetSelectedRow(), 1);
}

TEST_F(CellListCtrlTest, ClickInADisabledRowChangesNothing) {
  list_.EnableRow(2, false);
  ClickCell(2, 0);
  ClickCell(2, 1);
  EXPECT_EQ(clicks_.count(), 0);
  EXPECT_EQ(list_.GetCheckState(2, 0), 0);
  EXPECT_EQ(list_.GetSelectedRow(), -1);
  EXPECT_FALSE(list_.model()->flags(list_.model()->index(2, 0)) & Qt::ItemIsEnabled);
}

TEST_F(CellListCtrlTest, HeaderCheckFollowsTheRowsAndTogglesThemWithoutNotifications) {
  list_.SetCheckState(1, 0, -1);  // a row without a box
  list_.SetCheckState(0, 0, 1);
  EXPECT_EQ(list_.GetHeaderCheck(0), 1);
  ClickHeader(0);
  EXPECT_EQ(Checks(), (std::vector<int>{1, -1, 1}));
  EXPECT_EQ(list_.GetHeaderCheck(0), 2);
  EXPECT_EQ(list_.model()->headerData(0, Qt::Horizontal, Qt::CheckStateRole), Qt::Checked);
  ClickHeader(0);
  EXPECT_EQ(Checks(), (std::vector<int>{0, -1, 0}));
  EXPECT_EQ(list_.GetHeaderCheck(0), 1);
  EXPECT_EQ(clicks_.count(), 0);

  ClickCell(0, 0);
  EXPECT_EQ(list_.GetHeaderCheck(0), 1);  // the row without a box counts as unchecked
  list_.SetCheckState(1, 0, 1);
  list_.SetCheckState(2, 0, 1);
  EXPECT_EQ(list_.GetHeaderCheck(0), 2);
  ClickCell(2, 0);
  EXPECT_EQ(list_.GetHeaderCheck(0), 1);

  ClickHeader(1);  // no box in that column
  EXPECT_EQ(Checks(), (std::vector<int>{1, 1, 0}));
  EXPECT_EQ(list_.Header()->CheckBoxRect(1), QRect());
  EXPECT_TRUE(list_.Header()->CheckBoxRect(0).isValid());
}

TEST_F(CellListCtrlTest, ProgressRepaintsItsOneCellAndOnlyOnAChange) {
  QSignalSpy changes(list_.model(), &QAbstractItemModel::dataChanged);
  list_.SetProgressPercent(1, 3, 42);
  list_.SetProgressPercent(1, 3, 42);
  list_.SetProgressPercent(1, 9, 42);
  list_.SetProgressPercent(7, 3, 42);
  ASSERT_EQ(changes.count(), 1);
  const QModelIndex cell = list_.model()->index(1, 3);
  EXPECT_EQ(changes[0][0].toModelIndex(), cell);
  EXPECT_EQ(changes[0][1].toModelIndex(), cell);
  EXPECT_EQ(list_.GetProgressPercent(1, 3), 42);
  EXPECT_EQ(cell.data(CellListModel::kProgressRole), 42);
  EXPECT_FALSE(list_.model()->index(1, 2).data(CellListModel::kProgressRole).isValid());
}

struct LabelCase {
  int percent;
  bool text_shown;
  const char* format;
  const char* label;
};

class ProgressLabelTest : public CellListCtrlTest,
                          public ::testing::WithParamInterface<LabelCase> {};

TEST_P(ProgressLabelTest, LabelFollowsPercentFormatAndVisibility) {
  const LabelCase& c = GetParam();
  list_.ShowProgress(0, 3, c.text_shown, QString::fromLatin1(c.format));
  list_.SetProgressPercent(0, 3, c.percent);
  EXPECT_EQ(list_.model()->index(0, 3).data().toString(), QString::fromLatin1(c.label));
  EXPECT_TRUE(list_.GetItemText(0, 3).isEmpty());  // the label is not the cell's text
}

INSTANTIATE_TEST_SUITE_P(
    Labels, ProgressLabelTest,
    ::testing::Values(LabelCase{0, true, "", "0%"}, LabelCase{42, true, "", "42%"},
                      LabelCase{100, true, "", "100%"}, LabelCase{150, true, "", "150%"},
                      LabelCase{-1, true, "", ""}, LabelCase{42, false, "", ""},
                      LabelCase{7, true, "%d of 100", "7 of 100"}));

TEST_F(CellListCtrlTest, RolesShowTheCellRecords) {
  ImageList images;
  images.Add(QIcon::fromTheme(QStringLiteral("folder"), QIcon(QPixmap(16, 16))));
  list_.SetImageList(&images);
  list_.SetCellImage(0, 1, 0);
  list_.SetCellImage(0, 2, 5);  // no such image
  list_.SetCellTip(0, 2, QStringLiteral("where the files go"));
  list_.InsertColumn(4, QStringLiteral("Size"), Qt::AlignRight);
  list_.SetCheckState(0, 0, 1);
  const QAbstractItemModel* model = list_.model();
  EXPECT_FALSE(model->index(0, 1).data(Qt::DecorationRole).value<QIcon>().isNull());
  EXPECT_TRUE(model->index(0, 2).data(Qt::DecorationRole).value<QIcon>().isNull());
  EXPECT_EQ(model->index(0, 2).data(Qt::ToolTipRole), QStringLiteral("where the files go"));
  EXPECT_FALSE(model->index(0, 1).data(Qt::ToolTipRole).isValid());
  EXPECT_TRUE(model->index(0, 4).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
  EXPECT_TRUE(model->index(0, 4).data().toString().isEmpty());  // a new column's cells exist
  EXPECT_EQ(model->index(0, 0).data(Qt::CheckStateRole), Qt::Checked);
  EXPECT_EQ(model->index(1, 0).data(Qt::CheckStateRole), Qt::Unchecked);
  EXPECT_FALSE(model->index(0, 1).data(Qt::CheckStateRole).isValid());
  EXPECT_EQ(model->index(0, 1).data().toString(), QStringLiteral("/in/0"));
}

TEST_F(CellListCtrlTest, RowsGoInAndOutAtTheirPlace) {
  EXPECT_EQ(list_.InsertRow(1, QStringLiteral("new")), 1);
  EXPECT_EQ(list_.GetItemText(1, 0), QStringLiteral("new"));
  EXPECT_EQ(list_.GetItemText(2, 1), QStringLiteral("/in/1"));
  EXPECT_EQ(list_.GetCheckState(1, 0), -1);
  EXPECT_TRUE(list_.DeleteRow(0));
  EXPECT_EQ(list_.GetItemText(0, 0), QStringLiteral("new"));
  EXPECT_EQ(list_.GetItemCount(), 3);
  list_.SelectRow(2);
  EXPECT_EQ(list_.GetSelectedRow(), 2);
  list_.DeleteAllRows();
  EXPECT_EQ(list_.GetItemCount(), 0);
  EXPECT_EQ(list_.GetSelectedRow(), -1);
}

TEST_F(CellListCtrlTest, CellsThatDoNotExistAnswerTheFailureValues) {
  for (const auto& [row, column] : {std::pair{-1, 0}, {3, 0}, {0, 4}, {0, -1}}) {
    SCOPED_TRACE(testing::Message() << row << "," << column);
    QRect rect(1, 2, 3, 4);
    EXPECT_FALSE(list_.SetCheckState(row, column, 1));
    EXPECT_EQ(list_.GetCheckState(row, column), -1);
    EXPECT_FALSE(list_.SetCellText(row, column, QStringLiteral("x")));
    EXPECT_TRUE(list_.GetItemText(row, column).isEmpty());
    EXPECT_FALSE(list_.ShowProgress(row, column));
    list_.SetProgressPercent(row, column, 5);
    EXPECT_EQ(list_.GetProgressPercent(row, column), 0);
    EXPECT_FALSE(list_.SetCellTip(row, column, QStringLiteral("x")));
    EXPECT_FALSE(list_.GetCellRect(row, column, &rect));
    EXPECT_EQ(rect, QRect(1, 2, 3, 4));
  }
  EXPECT_EQ(list_.InsertRow(-1, {}), -1);
  EXPECT_EQ(list_.InsertRow(4, {}), -1);
  EXPECT_FALSE(list_.DeleteRow(3));
  EXPECT_FALSE(list_.EnableRow(3, false));
  EXPECT_FALSE(list_.SelectRow(3));
  EXPECT_EQ(list_.GetHeaderCheck(4), -1);
  EXPECT_FALSE(list_.SetHeaderCheck(4, 1));
  EXPECT_EQ(list_.GetItemCount(), 3);
}

// The message sits 10 pixels below the header in the text colour, only while the list is empty.
TEST_F(CellListCtrlTest, EmptyListShowsItsMessage) {
  const auto marked = [this](int top, int bottom) {
    const QImage image = list_.viewport()->grab().toImage();
    const QColor base = list_.palette().color(QPalette::Base);
    int count = 0;
    const int scale = static_cast<int>(image.devicePixelRatio());
    for (int y = top * scale; y < std::min(bottom * scale, image.height()); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        count += image.pixelColor(x, y) != base;
      }
    }
    return count;
  };
  QRect last;
  ASSERT_TRUE(list_.GetCellRect(2, 0, &last));
  EXPECT_EQ(marked(last.bottom() + 2, 1000), 0);
  list_.DeleteAllRows();
  EXPECT_EQ(marked(0, 10), 0);
  EXPECT_GT(marked(10, 10 + 2 * list_.fontMetrics().height()), 0);
}

}  // namespace
}  // namespace qs
