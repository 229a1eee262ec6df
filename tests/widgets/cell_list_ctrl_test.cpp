#include "widgets/cell_list_ctrl.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QHelpEvent>
#include <QPaintEvent>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <vector>

#include "widget_test_util.h"
#include "widgets/cell_header_ctrl.h"
#include "widgets/image_list.h"
#include "widgets/list_images.h"
#include "widgets/sys_colours.h"

namespace qs {
namespace {

using test::Pixel;

// Records the regions the viewport repaints.
class PaintRecorder : public QObject {
 public:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      regions.push_back(static_cast<QPaintEvent*>(event)->region());
    }
    return false;
  }
  std::vector<QRegion> regions;
};

// The main window's layout: Include, Source directory, Destination directory, Progress; the
// progress column is 106 pixels wide, so a progress bar's interior is 101 pixels.
class CellListCtrlTest : public ::testing::Test {
 protected:
  CellListCtrlTest() {
    LoadListImages(images_);
    list_.setPalette(test::DistinctPalette());
    list_.InsertColumn(0, QStringLiteral("Include"), Qt::AlignLeft, 30);
    list_.InsertColumn(1, QStringLiteral("Source directory"), Qt::AlignLeft, 120);
    list_.InsertColumn(2, QStringLiteral("Destination directory"), Qt::AlignLeft, 120);
    list_.InsertColumn(3, QStringLiteral("Progress"), Qt::AlignLeft, 106);
    list_.SetImageList(&images_);
    list_.SetFullRowSelect(true);
    list_.resize(420, 200);
    sys_ = list_.Colours();
  }

  void AddRows(std::initializer_list<int> states) {
    for (const int state : states) {
      const int row = list_.InsertRow(list_.GetItemCount(), QString());
      list_.SetCheckState(row, 0, state);
      list_.SetCellText(row, 1, QStringLiteral("/in/%1").arg(row));
      list_.SetCellImage(row, 1, kImageFolder);
      list_.SetCellText(row, 2, QStringLiteral("/out/%1").arg(row));
      list_.ShowProgress(row, 3);
    }
  }

  void Show() {
    list_.show();
    QApplication::processEvents();
  }

  QRect CellRect(int row, int column) {
    QRect rect;
    EXPECT_TRUE(list_.GetCellRect(row, column, &rect));
    return rect;
  }

  void Click(int row, int column) {
    QTest::mouseClick(list_.viewport(), Qt::LeftButton, {}, CellRect(row, column).center());
  }

  void ClickHeader(int column) {
    CCellHeaderCtrl* header = list_.Header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, header->GetItemRect(column).center());
  }

  QImage Grab() { return test::Grab(*list_.viewport()); }

  ImageList images_;
  CCellListCtrl list_;
  SysColours sys_;
};

TEST_F(CellListCtrlTest, ProgressCellIsPaintedInItsColumnWithItsValue) {
  AddRows({0, 0});
  list_.ShowProgress(1, 3, false);
  list_.SetProgressPercent(1, 3, 50);
  Show();
  const QRect cell = CellRect(1, 3);
  const QImage image = Grab();
  const int y = cell.top() + 5;
  EXPECT_EQ(Pixel(image, cell.left() + 1, y), sys_.button_shadow);
  EXPECT_EQ(Pixel(image, cell.left() + 2, y), QColor(0, 0, 0));
  EXPECT_EQ(Pixel(image, cell.left() + 3, y), sys_.highlight);
  EXPECT_EQ(Pixel(image, cell.left() + 52, y), sys_.highlight);
  EXPECT_EQ(Pixel(image, cell.left() + 53, y), QColor(224, 224, 224));
  EXPECT_EQ(Pixel(image, cell.left() + 104, y), sys_.button_shadow);
  EXPECT_EQ(list_.GetProgressPercent(1, 3), 50);
}

TEST_F(CellListCtrlTest, SetProgressPercentRepaintsOnlyItsCellAndOnlyOnAChange) {
  AddRows({0, 1, 0});
  Show();
  PaintRecorder recorder;
  list_.viewport()->installEventFilter(&recorder);

  list_.SetProgressPercent(1, 3, 0);
  QApplication::processEvents();
  EXPECT_TRUE(recorder.regions.empty());

  list_.SetProgressPercent(1, 3, 42);
  QApplication::processEvents();
  ASSERT_EQ(recorder.regions.size(), 1u);
  EXPECT_EQ(recorder.regions[0], QRegion(CellRect(1, 3)));

  recorder.regions.clear();
  list_.SetProgressPercent(1, 3, 42);
  list_.SetProgressPercent(7, 3, 42);
  QApplication::processEvents();
  EXPECT_TRUE(recorder.regions.empty());
  list_.viewport()->removeEventFilter(&recorder);
}

TEST_F(CellListCtrlTest, ClickTogglesACheckCellAndNotifiesOnceWithTheNewState) {
  AddRows({0, 0});
  Show();
  QSignalSpy spy(&list_, &CCellListCtrl::CheckboxClicked);
  std::vector<int> states_seen;
  QObject::connect(&list_, &CCellListCtrl::CheckboxClicked, &list_, [&](int row, int column) {
    states_seen.push_back(list_.GetCheckState(row, column));
  });

  Click(1, 0);
  EXPECT_EQ(list_.GetCheckState(1, 0), 1);
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy.at(0).at(0).toInt(), 1);
  EXPECT_EQ(spy.at(0).at(1).toInt(), 0);

  Click(1, 0);
  EXPECT_EQ(list_.GetCheckState(1, 0), 0);
  EXPECT_EQ(spy.count(), 2);
  EXPECT_EQ(states_seen, (std::vector<int>{1, 0}));

  Click(1, 1);
  Click(1, 3);
  EXPECT_EQ(spy.count(), 2);
  EXPECT_EQ(list_.GetCheckState(1, 0), 0);
  EXPECT_EQ(list_.GetSelectedRow(), 1);
}

TEST_F(CellListCtrlTest, ClickInADisabledRowChangesNothing) {
  AddRows({0, 1});
  Show();
  ASSERT_TRUE(list_.EnableRow(1, false));
  QSignalSpy spy(&list_, &CCellListCtrl::CheckboxClicked);
  Click(1, 0);
  Click(1, 2);
  QTest::mouseDClick(list_.viewport(), Qt::LeftButton, {}, CellRect(1, 1).center());
  EXPECT_EQ(list_.GetCheckState(1, 0), 1);
  EXPECT_EQ(list_.GetSelectedRow(), -1);
  EXPECT_EQ(spy.count(), 0);

  ASSERT_TRUE(list_.EnableRow(1, true));
  Click(1, 0);
  EXPECT_EQ(list_.GetCheckState(1, 0), 0);
  EXPECT_EQ(list_.GetSelectedRow(), 1);
  EXPECT_EQ(spy.count(), 1);
}

TEST_F(CellListCtrlTest, HeaderToggleSetsEveryRowWithABoxWithoutPerRowNotifications) {
  AddRows({0, 1, 0, 0});
  list_.SetCheckState(3, 0, -1);
  list_.SetHeaderCheck(0, kImageUnchecked);
  Show();
  QSignalSpy spy(&list_, &CCellListCtrl::CheckboxClicked);

  ClickHeader(0);
  EXPECT_EQ(list_.GetHeaderCheck(0), kImageChecked);
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(list_.GetCheckState(row, 0), 1) << row;
  }
  EXPECT_EQ(list_.GetCheckState(3, 0), -1);

  ClickHeader(0);
  EXPECT_EQ(list_.GetHeaderCheck(0), kImageUnchecked);
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(list_.GetCheckState(row, 0), 0) << row;
  }
  EXPECT_EQ(list_.GetCheckState(3, 0), -1);
  EXPECT_EQ(spy.count(), 0);

  // A column without a header check box ignores header clicks.
  list_.SetCheckState(0, 2, 0);
  ClickHeader(2);
  EXPECT_EQ(list_.GetHeaderCheck(2), 0);
  EXPECT_EQ(list_.GetCheckState(0, 2), 0);
}

TEST_F(CellListCtrlTest, CheckStateChangesKeepTheHeaderImageInStep) {
  AddRows({1, 0, 1});
  list_.SetHeaderCheck(0, kImageUnchecked);
  Show();
  ASSERT_TRUE(list_.SetCheckState(1, 0, 1));
  EXPECT_EQ(list_.GetHeaderCheck(0), kImageChecked);
  ASSERT_TRUE(list_.SetCheckState(2, 0, 0));
  EXPECT_EQ(list_.GetHeaderCheck(0), kImageUnchecked);

  // A click notifies before the header follows.
  std::vector<int> header_seen;
  QObject::connect(&list_, &CCellListCtrl::CheckboxClicked, &list_,
                   [&](int, int column) { header_seen.push_back(list_.GetHeaderCheck(column)); });
  Click(2, 0);
  EXPECT_EQ(header_seen, std::vector<int>{kImageUnchecked});
  EXPECT_EQ(list_.GetHeaderCheck(0), kImageChecked);

  // Columns without a header check box keep image 0.
  list_.SetCheckState(0, 2, 1);
  EXPECT_EQ(list_.GetHeaderCheck(2), 0);
}

TEST_F(CellListCtrlTest, EmptyListShowsItsMessageTenPixelsBelowTheHeader) {
  Show();
  const QImage empty = Grab();
  const int line = list_.fontMetrics().height();
  const QRect text =
      test::BoundsOfNear(empty, QRect(0, 0, empty.width(), 10 + 2 * line), sys_.window_text);
  ASSERT_FALSE(text.isEmpty());
  EXPECT_GE(text.top(), 10);
  EXPECT_LE(text.top(), 10 + line / 2);
  EXPECT_NEAR(text.center().x(), empty.width() / 2, 2);

  AddRows({0});
  QApplication::processEvents();
  const QImage one_row = Grab();
  const int below = CellRect(0, 0).bottom() + 1;
  EXPECT_EQ(test::CountNear(one_row, QRect(0, below, one_row.width(), 40), sys_.window_text), 0);
}

TEST_F(CellListCtrlTest, SelectedRowsFollowFocusAndTheShowSelectionStyle) {
  AddRows({0, 0});
  Show();
  list_.SelectRow(0);
  list_.clearFocus();
  const QRect cell = CellRect(0, 2);
  const QPoint probe(cell.right() - 2, cell.center().y());
  const QImage progress_before = Grab().copy(CellRect(0, 3));

  list_.SetShowSelectionAlways(false);
  EXPECT_EQ(Pixel(Grab(), probe.x(), probe.y()), sys_.window);
  list_.SetShowSelectionAlways(true);
  EXPECT_EQ(Pixel(Grab(), probe.x(), probe.y()), sys_.button_face);
  EXPECT_EQ(Grab().copy(CellRect(0, 3)), progress_before);

  // Without full-row selection only column 0 shows the selection.
  list_.SetFullRowSelect(false);
  const QImage image = Grab();
  EXPECT_EQ(Pixel(image, probe.x(), probe.y()), sys_.window);
  EXPECT_EQ(Pixel(image, CellRect(0, 0).left(), probe.y()), sys_.button_face);
}

TEST_F(CellListCtrlTest, DisabledRowsDrawTextAndLabelsInGrey) {
  AddRows({1, 1});
  list_.SetProgressPercent(1, 3, 0);
  list_.EnableRow(1, false);
  Show();
  const QImage image = Grab();
  EXPECT_GT(test::CountNear(image, CellRect(1, 2), sys_.gray_text, 30), 0);
  EXPECT_EQ(test::CountNear(image, CellRect(1, 2), sys_.window_text, 60), 0);
  EXPECT_GT(test::CountNear(image, CellRect(1, 3), sys_.gray_text, 30), 0);
  EXPECT_GT(test::CountNear(image, CellRect(0, 2), sys_.window_text, 60), 0);
}

TEST_F(CellListCtrlTest, InsertedColoursFillTheFirstCellAndTheRestUseTheWindowColours) {
  list_.InsertRow(0, QStringLiteral("a"), QColor(200, 0, 0), QColor(0, 200, 0));
  list_.InsertRow(1, QStringLiteral("b"));
  ASSERT_TRUE(list_.SetCellText(1, 2, std::nullopt, QColor(9, 9, 9), QColor(0, 0, 90)));
  Show();
  const QImage image = Grab();
  const QRect first = CellRect(0, 0);
  EXPECT_EQ(Pixel(image, first.right(), first.center().y()), QColor(0, 200, 0));
  EXPECT_GT(test::CountNear(image, first, QColor(200, 0, 0), 60), 0);
  const QRect second = CellRect(0, 1);
  EXPECT_EQ(Pixel(image, second.right(), second.center().y()), sys_.window);
  const QRect coloured = CellRect(1, 2);
  EXPECT_EQ(Pixel(image, coloured.right(), coloured.center().y()), QColor(0, 0, 90));
}

TEST_F(CellListCtrlTest, ColumnZeroEndsWhereColumnOneBegins) {
  AddRows({0});
  Show();
  EXPECT_EQ(CellRect(0, 0).left(), 0);
  EXPECT_EQ(CellRect(0, 0).right() + 1, CellRect(0, 1).left());
  EXPECT_EQ(CellRect(0, 0).height(), std::max(list_.fontMetrics().height(), 16) + 1);
}

TEST_F(CellListCtrlTest, TooltipsShowTheCellTipCutToTheBuffer) {
  AddRows({0, 0});
  Show();
  ASSERT_TRUE(list_.SetCellTip(0, 1, QStringLiteral("source tip")));
  ASSERT_TRUE(list_.SetCellTip(1, 2, QString(100, u'x')));
  EXPECT_EQ(list_.OnToolTipText(CellRect(0, 1).center()), QStringLiteral("source tip"));
  EXPECT_EQ(list_.OnToolTipText(CellRect(1, 2).center()), QString(79, u'x'));
  EXPECT_EQ(list_.OnToolTipText(CellRect(0, 2).center()), QString());
  EXPECT_EQ(list_.OnToolTipText(QPoint(5, CellRect(1, 0).bottom() + 20)), QString());

  QHelpEvent help(QEvent::ToolTip, CellRect(0, 1).center(),
                  list_.viewport()->mapToGlobal(CellRect(0, 1).center()));
  QApplication::sendEvent(list_.viewport(), &help);
  EXPECT_EQ(QToolTip::text(), QStringLiteral("source tip"));
  QToolTip::hideText();

  list_.ClearAllTips();
  EXPECT_EQ(list_.GetCellTip(0, 1), QString());
  EXPECT_EQ(list_.OnToolTipText(CellRect(0, 1).center()), QString());
}

TEST_F(CellListCtrlTest, BadRowsColumnsAndRowsWithoutRecordsAnswerTheFailureValues) {
  AddRows({1});
  list_.addTopLevelItem(new QTreeWidgetItem(QStringList{QStringLiteral("plain")}));
  const int plain = 1;
  const std::pair<int, int> bad[] = {{-1, 0}, {2, 0}, {0, -1}, {0, 4}, {plain, 0}};
  for (const auto& [row, column] : bad) {
    SCOPED_TRACE(testing::Message() << row << "," << column);
    EXPECT_FALSE(list_.SetCheckState(row, column, 1));
    EXPECT_EQ(list_.GetCheckState(row, column), -1);
    EXPECT_FALSE(list_.SetCellText(row, column, QStringLiteral("t")));
    EXPECT_FALSE(list_.SetCellImage(row, column, 1));
    EXPECT_FALSE(list_.ShowProgress(row, column));
    list_.SetProgressPercent(row, column, 5);
    EXPECT_EQ(list_.GetProgressPercent(row, column), 0);
    EXPECT_FALSE(list_.SetCellBold(row, column, true));
    EXPECT_FALSE(list_.IsCellBold(row, column));
    EXPECT_FALSE(list_.SetCellTip(row, column, QStringLiteral("t")));
    EXPECT_EQ(list_.SetRowImage({row, column, QStringLiteral("t"), 1}), row < 0 ? -1 : 0);
  }
  for (const int row : {-1, 2, plain}) {
    EXPECT_FALSE(list_.EnableRow(row, false));
    EXPECT_FALSE(list_.IsRowEnabled(row));
    EXPECT_FALSE(list_.SetUserData(row, 7));
    EXPECT_EQ(list_.GetUserData(row), 0u);
    EXPECT_EQ(list_.GetItemCount(), 2);
  }
  EXPECT_FALSE(list_.DeleteRow(plain));
  EXPECT_EQ(list_.InsertRow(-1, QStringLiteral("x")), -1);
  EXPECT_EQ(list_.GetHeaderCheck(4), -1);
  EXPECT_EQ(list_.GetHeaderCheck(-1), -1);
  EXPECT_FALSE(list_.SetHeaderCheck(4, 1));
  EXPECT_EQ(list_.CountChecked(0), 1);
  EXPECT_EQ(list_.CountChecked(9), 0);

  // The row without records swallows clicks.
  Show();
  Click(plain, 0);
  EXPECT_EQ(list_.GetSelectedRow(), -1);
}

TEST_F(CellListCtrlTest, RowsKeepTheirRecordsThroughInsertAndDelete) {
  AddRows({0, 1, 0});
  ASSERT_TRUE(list_.SetUserData(1, 77));
  EXPECT_EQ(list_.InsertRow(10, QStringLiteral("end")), 3);
  EXPECT_EQ(list_.InsertRow({0, 0, QStringLiteral("front"), 2}), 0);
  EXPECT_EQ(list_.GetItemText(0, 0), QStringLiteral("front"));
  EXPECT_EQ(list_.GetUserData(2), 77u);
  EXPECT_EQ(list_.GetCheckState(2, 0), 1);
  ASSERT_TRUE(list_.DeleteRow(0));
  EXPECT_EQ(list_.GetUserData(1), 77u);
  EXPECT_EQ(list_.GetItemCount(), 4);
  list_.DeleteAllRows();
  EXPECT_EQ(list_.GetItemCount(), 0);
  EXPECT_EQ(list_.GetUserData(0), 0u);
}

TEST_F(CellListCtrlTest, ColumnsAddedAfterARowHaveNoRecordInIt) {
  AddRows({0});
  EXPECT_EQ(list_.InsertColumn(1, QStringLiteral("Between"), Qt::AlignLeft, 40), -1);
  EXPECT_EQ(list_.InsertColumn(9, QStringLiteral("Late"), Qt::AlignLeft, 40), 4);
  EXPECT_EQ(list_.GetColumnCount(), 5);
  EXPECT_EQ(list_.GetItemText(0, 1), QStringLiteral("/in/0"));
  list_.InsertRow(1, QString());
  EXPECT_FALSE(list_.SetCheckState(0, 4, 1));
  EXPECT_TRUE(list_.SetCheckState(1, 4, 1));
}

TEST(CellListCtrlColumnsTest, ColumnsGoInAtTheirIndexWhileThereAreNoRows) {
  CCellListCtrl list;
  EXPECT_EQ(list.InsertColumn(0, QStringLiteral("B"), Qt::AlignRight, 50), 0);
  EXPECT_EQ(list.InsertColumn(0, QStringLiteral("A"), Qt::AlignHCenter, 40), 0);
  EXPECT_EQ(list.InsertColumn(7, QStringLiteral("C")), 2);
  EXPECT_EQ(list.InsertColumn(-1, QStringLiteral("D")), -1);
  ASSERT_EQ(list.GetColumnCount(), 3);
  EXPECT_EQ(list.headerItem()->text(0), QStringLiteral("A"));
  EXPECT_EQ(list.headerItem()->text(1), QStringLiteral("B"));
  EXPECT_EQ(list.Header()->sectionSize(0), 40);
  EXPECT_EQ(list.Header()->sectionSize(1), 50);
  EXPECT_EQ(list.headerItem()->textAlignment(1) & Qt::AlignHorizontal_Mask, Qt::AlignRight);
}

TEST_F(CellListCtrlTest, PaletteChangeRereadsTheColoursButRecordsKeepTheirs) {
  AddRows({0});
  Show();
  QPalette palette = test::DistinctPalette();
  palette.setColor(QPalette::Base, QColor(250, 240, 230));
  list_.setPalette(palette);
  EXPECT_EQ(list_.Colours().window, QColor(250, 240, 230));
  const QImage image = Grab();
  const QRect old_cell = CellRect(0, 2);
  EXPECT_EQ(Pixel(image, old_cell.right(), old_cell.center().y()), sys_.window);
  list_.InsertRow(1, QString());
  QApplication::processEvents();
  const QRect new_cell = CellRect(1, 2);
  EXPECT_EQ(Pixel(Grab(), new_cell.right(), new_cell.center().y()), QColor(250, 240, 230));
}

}  // namespace
}  // namespace qs
