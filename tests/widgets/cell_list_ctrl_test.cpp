// CCellListCtrl as the watch list uses it: check cells that toggle and notify, the header check
// box that follows and toggles its column, progress cells and their labels, disabled rows, and
// the failure values for cells that do not exist. Then choice cells, which the main window has
// none of: the drop list and what keys and clicks in it do to the cell.
#include "widgets/cell_list_ctrl.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "widgets/cell_header_ctrl.h"
#include "widgets/cell_list_model.h"
#include "widgets/choice_drop_list.h"

namespace qs {
namespace {

class CellListCtrlTest : public ::testing::Test {
 protected:
  CellListCtrlTest() {
    list_.resize(480, 200);
    for (const char* heading : {"Include", "Source", "Destination", "Progress"}) {
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

  QModelIndex At(int row, int column) const { return list_.model()->index(row, column); }
  // On the cell's centre, or on a choice cell's drop button (its right end) or its left part.
  enum Spot { kCentre, kButton, kLeft };
  void ClickCell(int row, int column, Spot spot = kCentre) {
    QRect cell;
    ASSERT_TRUE(list_.GetCellRect(row, column, &cell));
    const int x = spot == kCentre   ? cell.center().x()
                  : spot == kButton ? cell.right() - 2
                                    : cell.left() + 5;
    QTest::mouseClick(list_.viewport(), Qt::LeftButton, {}, QPoint(x, cell.center().y()));
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

  const QStringList choices_{QStringLiteral("alpha"), QString(), QStringLiteral("beta"),
                             QStringLiteral("gamma"), QStringLiteral("Bravo")};
  CCellListCtrl list_;
  QSignalSpy clicks_{&list_, &CCellListCtrl::CheckboxClicked};
  QSignalSpy selections_{&list_, &CCellListCtrl::ChoiceSelected};
};

TEST_F(CellListCtrlTest, ClickTogglesACheckCellAndNotifiesWithTheNewStateButNotInADisabledRow) {
  std::vector<int> seen;
  QObject::connect(&list_, &CCellListCtrl::CheckboxClicked, &list_,
                   [&](int row, int column) { seen.push_back(list_.GetCheckState(row, column)); });
  list_.EnableRow(2, false);
  ClickCell(2, 0);
  ClickCell(2, 1);
  EXPECT_EQ(list_.GetSelectedRow(), -1);
  EXPECT_FALSE(At(2, 0).flags() & Qt::ItemIsEnabled);  // the style greys it
  ClickCell(1, 0);
  ClickCell(1, 0);
  ClickCell(1, 1);  // elsewhere in the row: selects only
  ASSERT_EQ(clicks_.count(), 2);
  EXPECT_EQ(clicks_[0], (QVariantList{1, 0}));
  EXPECT_EQ(seen, (std::vector<int>{1, 0}));
  EXPECT_EQ(Checks(), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(list_.GetSelectedRow(), 1);
}

TEST_F(CellListCtrlTest, HeaderCheckFollowsTheRowsAndTogglesThemWithoutNotifications) {
  CCellHeaderCtrl* header = list_.Header();
  const QRect box = header->CheckBoxRect(0);
  const QImage unchecked = header->viewport()->grab(box).toImage();
  list_.SetCheckState(1, 0, -1);
  list_.SetCheckState(0, 0, 1);
  EXPECT_EQ(list_.GetHeaderCheck(0), 1);
  ClickHeader(0);
  EXPECT_EQ(Checks(), (std::vector<int>{1, -1, 1}));
  EXPECT_EQ(list_.GetHeaderCheck(0), 2);
  EXPECT_NE(header->viewport()->grab(box).toImage(), unchecked);  // the tick is drawn
  ClickHeader(0);
  EXPECT_EQ(Checks(), (std::vector<int>{0, -1, 0}));
  EXPECT_EQ(clicks_.count(), 0);
  list_.SetCheckState(2, 0, 1);
  ClickCell(0, 0);
  EXPECT_EQ(list_.GetHeaderCheck(0), 1);  // the row without a box counts as unchecked
  list_.SetCheckState(1, 0, 1);
  EXPECT_EQ(list_.GetHeaderCheck(0), 2);
  ClickCell(2, 0);
  EXPECT_EQ(list_.GetHeaderCheck(0), 1);
  ClickHeader(1);  // no box in that column
  EXPECT_EQ(Checks(), (std::vector<int>{1, 1, 0}));
}

// One cell is repainted, and only on a change; the bar stops at 100, its label does not.
TEST_F(CellListCtrlTest, ProgressRepaintsItsOneCellWithItsLabel) {
  QSignalSpy changes(list_.model(), &QAbstractItemModel::dataChanged);
  list_.SetProgressPercent(1, 3, 42);
  list_.SetProgressPercent(1, 3, 42);
  list_.SetProgressPercent(1, 9, 42);
  list_.SetProgressPercent(7, 3, 42);
  ASSERT_EQ(changes.count(), 1);
  EXPECT_EQ(changes[0][0].toModelIndex(), At(1, 3));
  EXPECT_EQ(changes[0][1].toModelIndex(), At(1, 3));
  EXPECT_EQ(At(1, 3).data(CellListModel::kProgressRole), 42);
  for (const auto& [percent, label] : {std::pair{42, "42%"}, {150, "150%"}, {-1, ""}}) {
    list_.SetProgressPercent(0, 3, percent);
    EXPECT_EQ(At(0, 3).data().toString(), QString::fromLatin1(label)) << percent;
    EXPECT_TRUE(list_.GetItemText(0, 3).isEmpty());  // the label is not the cell's text
  }
}

TEST_F(CellListCtrlTest, RowsGoInAtTheirPlaceAndMissingCellsFail) {
  for (const auto& [row, column] : {std::pair{-1, 0}, {3, 0}, {0, 4}, {0, -1}}) {
    SCOPED_TRACE(testing::Message() << row << "," << column);
    QRect rect(1, 2, 3, 4);
    EXPECT_FALSE(list_.SetCheckState(row, column, 1));
    EXPECT_FALSE(list_.GetCellRect(row, column, &rect));
    EXPECT_EQ(rect, QRect(1, 2, 3, 4));
  }
  EXPECT_EQ(list_.InsertRow(4, {}), -1);
  EXPECT_FALSE(list_.SelectRow(3));
  EXPECT_EQ(list_.InsertRow(1, QStringLiteral("new")), 1);
  EXPECT_EQ(list_.GetItemText(2, 1), QStringLiteral("/in/1"));
  EXPECT_TRUE(list_.SelectRow(2));
  EXPECT_EQ(list_.GetSelectedRow(), 2);
  list_.DeleteAllRows();
  EXPECT_EQ(list_.GetItemCount(), 0);
  EXPECT_EQ(list_.GetSelectedRow(), -1);
}

// A null list fails and leaves the cell alone; an initial index out of range selects entry 0;
// the button opens whole rows of the non-empty entries.
TEST_F(CellListCtrlTest, AttachChoicesPutsTheInitialEntryIntoTheCellAndTheButtonOpensIt) {
  EXPECT_TRUE(list_.AttachChoices(0, 2, true, &choices_, 3, 2));
  EXPECT_FALSE(list_.AttachChoices(0, 2, true, nullptr, 3, 0));
  EXPECT_EQ(list_.GetChoiceText(0, 2), QStringLiteral("beta"));
  for (const int initial : {7, -1}) {
    EXPECT_TRUE(list_.AttachChoices(1, 2, true, &choices_, 3, initial));
    EXPECT_EQ(list_.GetChoiceText(1, 2), QStringLiteral("alpha")) << initial;
  }
  ClickCell(0, 2, kButton);
  CChoiceDropList* drop = list_.DropList();
  ASSERT_NE(drop, nullptr);
  EXPECT_EQ(drop->count(), 4);
  EXPECT_EQ(drop->currentItem()->text(), QStringLiteral("beta"));
  const int rows_height = drop->height() - 2 * drop->frameWidth();
  EXPECT_EQ(rows_height % drop->sizeHintForRow(0), 0);
  EXPECT_GT(rows_height, 0);
}

// What is done in the open list: keys (a Qt::Key, or a letter as its character) or one of these.
enum Action { kClickFirstEntry = 1, kCloseOtherwise, kClickLeftPart };

TEST_F(CellListCtrlTest, KeysAndClicksPreviewCommitOrPutTheTextBack) {
  const struct {
    std::vector<int> actions;
    const char* text;  // the cell afterwards
    bool still_open;
    int selections;
  } cases[] = {
      {{Qt::Key_Down}, "gamma", true, 0},
      {{Qt::Key_Down, Qt::Key_Down, Qt::Key_Escape}, "beta", false, 0},
      {{Qt::Key_Up, Qt::Key_Return}, "alpha", false, 1},
      {{kClickFirstEntry}, "alpha", false, 1},
      {{'b'}, "Bravo", true, 0},  // the next entry beginning with it
      {{'b', 'b'}, "beta", true, 0},
      {{'z'}, "beta", true, 0},
      {{Qt::Key_End, kCloseOtherwise}, "beta", false, 0},  // as Escape
      {{Qt::Key_Down, kClickLeftPart}, "beta", false, 0},  // closes and opens none
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << &c - cases);
    list_.AttachChoices(0, 2, true, &choices_, 3, 2);
    selections_.clear();
    ClickCell(0, 2, kButton);
    CChoiceDropList* drop = list_.DropList();
    ASSERT_NE(drop, nullptr);
    for (const int action : c.actions) {
      if (action == kClickFirstEntry) {
        QTest::mouseClick(drop->viewport(), Qt::LeftButton, {},
                          drop->visualItemRect(drop->item(0)).center());
      } else if (action == kCloseOtherwise) {
        drop->close();
      } else if (action == kClickLeftPart) {
        ClickCell(0, 2, kLeft);
      } else if (action < 0x80) {
        QTest::keyClick(drop, static_cast<char>(action));
      } else {
        QTest::keyClick(drop, static_cast<Qt::Key>(action));
      }
    }
    EXPECT_EQ(list_.GetChoiceText(0, 2), QString::fromLatin1(c.text));
    EXPECT_EQ(list_.DropList() != nullptr, c.still_open);
    ASSERT_EQ(selections_.count(), c.selections);
    if (c.selections > 0) {
      EXPECT_EQ(selections_[0], (QVariantList{0, 2}));
    }
    if (list_.DropList() != nullptr) {
      list_.DropList()->close();
    }
  }
}

}  // namespace
}  // namespace qs
