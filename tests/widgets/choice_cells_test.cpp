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

  // x: the cell's right end (its drop button) or its left part.
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
  EXPECT_TRUE(list_.GetChoiceText(2, 1).isEmpty());
}

TEST_F(ChoiceCellsTest, TheButtonOpensWholeRowsOfTheNonEmptyEntriesAndTheLeftPartCloses) {
  ClickChoiceCell(true);
  CChoiceDropList* drop = list_.DropList();
  ASSERT_NE(drop, nullptr);
  EXPECT_EQ(drop->count(), 4);
  EXPECT_EQ(drop->currentItem()->text(), QStringLiteral("beta"));
  const int rows_height = drop->height() - 2 * drop->frameWidth();
  EXPECT_EQ(rows_height % drop->sizeHintForRow(0), 0);
  EXPECT_GT(rows_height, 0);
  QTest::keyClick(drop, Qt::Key_Down);
  ClickChoiceCell(false);
  EXPECT_EQ(list_.DropList(), nullptr);
  EXPECT_EQ(list_.GetChoiceText(0, 1), QStringLiteral("beta"));
  EXPECT_EQ(selections_.count(), 0);
}

struct KeysCase {
  const char* name;
  std::vector<int> keys;  // Qt::Key, or a letter as its character
  const char* text;       // the cell afterwards
  bool still_open;
  int selections;
};

class ChoiceKeysTest : public ChoiceCellsTest, public ::testing::WithParamInterface<KeysCase> {};

TEST_P(ChoiceKeysTest, KeysPreviewCommitOrPutTheTextBack) {
  ClickChoiceCell(true);
  ASSERT_NE(list_.DropList(), nullptr);
  for (const int key : GetParam().keys) {
    if (key < 0x80) {
      QTest::keyClick(list_.DropList(), static_cast<char>(key));
    } else {
      QTest::keyClick(list_.DropList(), static_cast<Qt::Key>(key));
    }
  }
  EXPECT_EQ(list_.GetChoiceText(0, 1), QString::fromLatin1(GetParam().text));
  EXPECT_EQ(list_.DropList() != nullptr, GetParam().still_open);
  ASSERT_EQ(selections_.count(), GetParam().selections);
  if (GetParam().selections > 0) {
    EXPECT_EQ(selections_[0], (QVariantList{0, 1}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ChoiceKeysTest,
    ::testing::Values(
        KeysCase{"DownPreviews", {Qt::Key_Down}, "gamma", true, 0},
        KeysCase{
            "EscapeAfterPreviews", {Qt::Key_Down, Qt::Key_Down, Qt::Key_Escape}, "beta", false, 0},
        KeysCase{"EnterCommits", {Qt::Key_Up, Qt::Key_Return}, "alpha", false, 1},
        KeysCase{"LetterJumpsToTheNextMatch", {'b'}, "Bravo", true, 0},
        KeysCase{"LetterWraps", {'b', 'b'}, "beta", true, 0},
        KeysCase{"LetterWithoutMatch", {'z'}, "beta", true, 0}),
    [](const ::testing::TestParamInfo<KeysCase>& info) { return info.param.name; });

TEST_F(ChoiceCellsTest, AClickOnAnEntryCommitsIt) {
  ClickChoiceCell(true);
  CChoiceDropList* drop = list_.DropList();
  ASSERT_NE(drop, nullptr);
  const QRect entry = drop->visualItemRect(drop->item(0));
  QTest::mouseClick(drop->viewport(), Qt::LeftButton, {}, entry.center());
  EXPECT_EQ(list_.GetChoiceText(0, 1), QStringLiteral("alpha"));
  EXPECT_EQ(selections_.count(), 1);
  EXPECT_EQ(list_.DropList(), nullptr);
}

// Closing the popup some other way (a click outside it) counts as Escape.
TEST_F(ChoiceCellsTest, ClosingThePopupPutsTheTextBack) {
  ClickChoiceCell(true);
  ASSERT_NE(list_.DropList(), nullptr);
  QTest::keyClick(list_.DropList(), Qt::Key_End);
  EXPECT_EQ(list_.GetChoiceText(0, 1), QStringLiteral("Bravo"));
  list_.DropList()->close();
  EXPECT_EQ(list_.GetChoiceText(0, 1), QStringLiteral("beta"));
  EXPECT_EQ(list_.DropList(), nullptr);
  EXPECT_EQ(selections_.count(), 0);
}

}  // namespace
}  // namespace qs
