// Choice cells on a bare list (the main window has none): attaching the choices, opening the
// drop list from the cell's button, and what keys and clicks in the list do to the cell.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "widgets/cell_list_ctrl.h"
#include "widgets/choice_drop_list.h"

namespace qs {
namespace {

class ChoiceCellsTest : public ::testing::Test {
 protected:
  ChoiceCellsTest() {
    list_.resize(400, 200);
    list_.InsertColumn(0, QStringLiteral("Name"), Qt::AlignLeft, 100);
    list_.InsertColumn(1, QStringLiteral("Kind"), Qt::AlignLeft, 150);
    list_.InsertRow(0, QStringLiteral("a"));
    list_.InsertRow(1, QStringLiteral("b"));
    list_.AttachChoices(0, 1, true, &choices_, 3, 2);
    list_.show();
  }

  // On the cell's right end (its drop button) or its left part.
  void ClickChoiceCell(bool on_button) {
    QRect cell;
    ASSERT_TRUE(list_.GetCellRect(0, 1, &cell));
    const QPoint at(on_button ? cell.right() - 2 : cell.left() + 5, cell.center().y());
    QTest::mouseClick(list_.viewport(), Qt::LeftButton, {}, at);
  }

  const QStringList choices_{QStringLiteral("alpha"), QString(), QStringLiteral("beta"),
                             QStringLiteral("gamma"), QStringLiteral("Bravo")};
  CCellListCtrl list_;
  QSignalSpy selections_{&list_, &CCellListCtrl::ChoiceSelected};
};

TEST_F(ChoiceCellsTest, AttachChoicesPutsTheInitialEntryIntoTheCell) {
  EXPECT_EQ(list_.GetChoiceText(0, 1), QStringLiteral("beta"));
  EXPECT_FALSE(list_.AttachChoices(0, 1, true, nullptr, 3, 0));  // fails, cell left alone
  EXPECT_EQ(list_.GetChoiceText(0, 1), QStringLiteral("beta"));
  for (const int initial : {7, -1}) {
    EXPECT_TRUE(list_.AttachChoices(1, 1, true, &choices_, 3, initial));
    EXPECT_EQ(list_.GetChoiceText(1, 1), QStringLiteral("alpha")) << initial;
  }
  EXPECT_FALSE(list_.AttachChoices(2, 1, true, &choices_, 3, 0));
}

TEST_F(ChoiceCellsTest, TheButtonOpensWholeRowsOfTheNonEmptyEntries) {
  ClickChoiceCell(true);
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

TEST_F(ChoiceCellsTest, KeysAndClicksPreviewCommitOrPutTheTextBack) {
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
    list_.AttachChoices(0, 1, true, &choices_, 3, 2);
    selections_.clear();
    ClickChoiceCell(true);
    CChoiceDropList* drop = list_.DropList();
    ASSERT_NE(drop, nullptr);
    for (const int action : c.actions) {
      if (action == kClickFirstEntry) {
        QTest::mouseClick(drop->viewport(), Qt::LeftButton, {},
                          drop->visualItemRect(drop->item(0)).center());
      } else if (action == kCloseOtherwise) {
        drop->close();
      } else if (action == kClickLeftPart) {
        ClickChoiceCell(false);
      } else if (action < 0x80) {
        QTest::keyClick(drop, static_cast<char>(action));
      } else {
        QTest::keyClick(drop, static_cast<Qt::Key>(action));
      }
    }
    EXPECT_EQ(list_.GetChoiceText(0, 1), QString::fromLatin1(c.text));
    EXPECT_EQ(list_.DropList() != nullptr, c.still_open);
    ASSERT_EQ(selections_.count(), c.selections);
    if (c.selections > 0) {
      EXPECT_EQ(selections_[0], (QVariantList{0, 1}));
    }
    if (list_.DropList() != nullptr) {
      list_.DropList()->close();
    }
  }
}

}  // namespace
}  // namespace qs
