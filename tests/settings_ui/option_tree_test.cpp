// The option tree offscreen: line values, boxes, and the life of its in-place editors.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "settings_ui/option_tree_ctrl.h"
#include "settings_ui/option_tree_editors.h"

namespace qs {
namespace {

class OptionTreeTest : public ::testing::Test {
 protected:
  OptionTreeTest() {
    window_.resize(400, 300);
    tree_->setGeometry(0, 0, 400, 260);
    other_->setGeometry(0, 265, 80, 30);
    group_ = tree_->InsertGroupItem(QStringLiteral("Group"), 0);
  }
  void Show() {
    window_.show();
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
    tree_->expandAll();
  }
  OptionLine EditLine(const QString& label, const QString& value, OptionEditorClass cls) {
    const OptionLine line = tree_->InsertItem(label, 1, group_);
    tree_->AttachEditBox(line, cls);
    tree_->SetValueText(line, value);
    return line;
  }
  void Click(OptionLine line) {
    QTest::mouseClick(tree_->viewport(), Qt::LeftButton, {},
                      tree_->visualRect(line->index()).center());
  }
  // Ends deferred deletions, so that a closed editor is really gone.
  static void Settle() { QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

  QWidget window_;
  COptionTreeCtrl* tree_ = new COptionTreeCtrl(&window_);
  QPushButton* other_ = new QPushButton(QStringLiteral("Other"), &window_);
  OptionLine group_ = nullptr;
};

TEST_F(OptionTreeTest, ValueTextFollowsTheFirstSeparator) {
  struct Case {
    const char* line;
    const char* value;
    const char* shown;
  } const cases[] = {
      {"Delay: ", "300", "Delay: 300"},      // label ending in the separator
      {"Delay: 300", "60", "Delay: 60"},     // a value is replaced whole
      {"Delay", "60", "Delay: 60"},          // the separator is added
      {"Run: ", "a: b: c", "Run: a: b: c"},  // a value may hold the separator itself
  };
  for (const Case& c : cases) {
    const OptionLine line = tree_->InsertItem(QString::fromUtf8(c.line), -1, group_);
    tree_->SetValueText(line, QString::fromUtf8(c.value));
    EXPECT_EQ(line->text(), QString::fromUtf8(c.shown));
    EXPECT_EQ(tree_->GetValueText(line), QString::fromUtf8(c.value));
    tree_->RemoveValueText(line);
    EXPECT_EQ(tree_->GetValueText(line), QString());
  }
}

TEST_F(OptionTreeTest, TypedValuesShowAsText) {
  const OptionLine colour = tree_->InsertItem(QStringLiteral("Colour"), -1, group_);
  tree_->AttachColorBrowser(colour, RuntimeClass<COptionTreeBrowseButton>(), true);
  const OptionLine ip = tree_->InsertItem(QStringLiteral("Address"), -1, group_);
  tree_->AttachIPAddressCtrl(ip, RuntimeClass<COptionTreeIPAddressCtrl>());
  const OptionLine notes = tree_->InsertItem(QStringLiteral("Notes"), -1, group_);
  tree_->AttachEditBox(notes, RuntimeClass<CMultiLineTextEdit>());

  tree_->SetColor(colour, QColor(255, 128, 0));
  EXPECT_EQ(tree_->GetValueText(colour), QStringLiteral("&FF8000"));
  tree_->SetColor(colour, QColor(0, 0, 255));
  EXPECT_EQ(tree_->GetValueText(colour), QStringLiteral("&0000FF"));
  tree_->SetIPAddress(ip, 0xC0A80102);
  EXPECT_EQ(tree_->GetValueText(ip), QStringLiteral("192.168.1.2"));
  tree_->SetMultiLineText(notes, QStringLiteral("first\r\nsecond"));
  EXPECT_EQ(tree_->GetValueText(notes), QStringLiteral("first..."));
  EXPECT_EQ(tree_->GetMultiLineText(notes), QStringLiteral("first\r\nsecond"));
}

TEST_F(OptionTreeTest, PlainLinesRefuseStateOperations) {
  const OptionLine plain = tree_->InsertItem(QStringLiteral("Plain"), -1, group_);
  bool state = true;
  EXPECT_FALSE(tree_->IsCheckBox(plain));
  EXPECT_FALSE(tree_->SetCheckState(plain, true));
  EXPECT_FALSE(tree_->GetCheckState(plain, state));
  EXPECT_FALSE(tree_->GetRadioButton(plain, state));
  EXPECT_TRUE(state);
}

TEST_F(OptionTreeTest, ClickAndSpaceToggleOnlyEnabledBoxes) {
  Show();
  struct Case {
    bool enabled;
    bool by_space;
    bool ticked_after;
  } const cases[] = {
      {true, false, true}, {true, true, true}, {false, false, false}, {false, true, false}};
  for (const Case& c : cases) {
    const OptionLine box = tree_->InsertCheckBoxItem(QStringLiteral("Box"), group_, false);
    tree_->EnableCheckBox(box, c.enabled);
    tree_->SelectLine(box);
    if (c.by_space) {
      QTest::keyClick(tree_, Qt::Key_Space);
    } else {
      Click(box);
    }
    bool ticked = !c.ticked_after;
    ASSERT_TRUE(tree_->GetCheckState(box, ticked));
    EXPECT_EQ(ticked, c.ticked_after) << c.enabled << c.by_space;
  }
}

TEST_F(OptionTreeTest, RadioButtonsChooseOneOfTheirRun) {
  Show();
  const OptionLine a = tree_->InsertRadioItem(QStringLiteral("A"), group_, true);
  const OptionLine b = tree_->InsertRadioItem(QStringLiteral("B"), group_, false);
  int index = 9;
  OptionLine chosen = nullptr;
  Click(b);
  bool a_chosen = true;
  ASSERT_TRUE(tree_->GetRadioButton(a, a_chosen));
  EXPECT_FALSE(a_chosen);
  ASSERT_TRUE(tree_->GetChosenRadio(group_, index, chosen));
  EXPECT_EQ(index, 1);
  EXPECT_EQ(chosen, b);
  const OptionLine lone = tree_->InsertGroupItem(QStringLiteral("Empty"), 0);
  EXPECT_FALSE(tree_->GetChosenRadio(lone, index, chosen));
  EXPECT_EQ(chosen, nullptr);
}

TEST_F(OptionTreeTest, EditorOpensOnSelectionAndCommitsWhenItMoves) {
  Show();
  const OptionLine first =
      EditLine(QStringLiteral("First: "), QStringLiteral("one"), RuntimeClass<CCommandEdit>());
  const OptionLine second =
      EditLine(QStringLiteral("Second: "), QStringLiteral("two"), RuntimeClass<CCommandEdit>());
  Click(first);
  ASSERT_NE(tree_->EditEditor(), nullptr);
  EXPECT_EQ(first->text(), QStringLiteral("First"));  // the label alone while editing
  EXPECT_EQ(tree_->EditEditor()->text(), QStringLiteral("one"));
  tree_->EditEditor()->setText(QStringLiteral("uno"));
  Click(second);
  EXPECT_EQ(first->text(), QStringLiteral("First: uno"));
  EXPECT_EQ(tree_->EditedLine(), second);
  // Tab without a button gives the focus back to the tree, which commits and closes.
  tree_->EditEditor()->setFocus();
  tree_->EditEditor()->setText(QStringLiteral("dos"));
  QTest::keyClick(tree_->EditEditor(), Qt::Key_Tab);
  EXPECT_FALSE(tree_->HasOpenEditor());
  EXPECT_EQ(second->text(), QStringLiteral("Second: dos"));
  EXPECT_TRUE(tree_->hasFocus());
  // A click on the selected line with no editor opens one again.
  Click(second);
  EXPECT_NE(tree_->EditEditor(), nullptr);
}

TEST_F(OptionTreeTest, FocusLeavingTheEditorCommitsIt) {
  Show();
  const OptionLine line =
      EditLine(QStringLiteral("Run: "), QString(), RuntimeClass<CCommandEdit>());
  tree_->SelectLine(line);
  tree_->EditEditor()->setFocus();
  QTest::keyClicks(tree_->EditEditor(), QStringLiteral("echo %1"));
  other_->setFocus(Qt::MouseFocusReason);
  EXPECT_FALSE(tree_->HasOpenEditor());
  EXPECT_EQ(tree_->GetValueText(line), QStringLiteral("echo %1"));
}

TEST_F(OptionTreeTest, TabInAnEditWithAButtonMovesToTheButton) {
  Show();
  const OptionLine line = tree_->InsertItem(QStringLiteral("File: "), 1, group_);
  tree_->AttachBrowseEditBox(line, RuntimeClass<COptionTreeEdit>(),
                             RuntimeClass<COptionTreeBrowseButton>());
  tree_->SetValueText(line, QStringLiteral("/tmp/a"));
  tree_->SelectLine(line);
  ASSERT_NE(tree_->BrowseButton(), nullptr);
  EXPECT_EQ(tree_->BrowseButton()->text(), QStringLiteral("..."));
  tree_->EditEditor()->setFocus();
  QTest::keyClick(tree_->EditEditor(), Qt::Key_Tab);
  EXPECT_TRUE(tree_->BrowseButton()->hasFocus());
  EXPECT_TRUE(tree_->HasOpenEditor());
}

TEST_F(OptionTreeTest, DelayEditorOnlyStepsWithinItsRange) {
  Show();
  const OptionLine line = tree_->InsertItem(QStringLiteral("Delay: "), 1, group_);
  tree_->AttachSpinEditBox(line, RuntimeClass<CSpinEdit>(), RuntimeClass<CDelaySpin>());
  const struct {
    const char* start;
    int steps;
    const char* shown;
  } cases[] = {{"300", 1, "301"}, {"5", -1, "5"}, {"1499", 3, "1500"}, {"999", 1, "1000"}};
  for (const auto& c : cases) {
    tree_->SetValueText(line, QString::fromLatin1(c.start));
    tree_->SelectLine(group_);
    tree_->SelectLine(line);
    COptionTreeSpinCtrl* spin = tree_->SpinEditor();
    ASSERT_NE(spin, nullptr);
    QTest::keyClicks(tree_->EditEditor(), QStringLiteral("7"));  // read-only: no typing
    for (int i = 0; i < std::abs(c.steps); ++i) {
      QTest::mouseClick(c.steps > 0 ? spin->UpButton() : spin->DownButton(), Qt::LeftButton);
    }
    tree_->SelectLine(group_);
    EXPECT_EQ(tree_->GetValueText(line), QString::fromLatin1(c.shown));
  }
}

TEST_F(OptionTreeTest, EditorsWithoutAValidValueLeaveTheLine) {
  Show();
  const OptionLine ip = tree_->InsertItem(QStringLiteral("Address"), -1, group_);
  tree_->AttachIPAddressCtrl(ip, RuntimeClass<COptionTreeIPAddressCtrl>());
  tree_->SetIPAddress(ip, 0x0A000001);
  tree_->SelectLine(ip);
  ASSERT_NE(tree_->IPAddressEditor(), nullptr);
  tree_->IPAddressEditor()->Field(3)->clear();
  tree_->SelectLine(group_);
  EXPECT_EQ(tree_->GetValueText(ip), QStringLiteral("10.0.0.1"));
  tree_->SelectLine(ip);
  tree_->IPAddressEditor()->Field(0)->setText(QStringLiteral("192"));
  tree_->SelectLine(group_);
  EXPECT_EQ(tree_->GetValueText(ip), QStringLiteral("192.0.0.1"));
}

TEST_F(OptionTreeTest, DeletingAllLinesOpensNoEditor) {
  Show();
  const OptionLine first = EditLine(QStringLiteral("A: "), QString(), RuntimeClass<CCommandEdit>());
  EditLine(QStringLiteral("B: "), QString(), RuntimeClass<CCommandEdit>());
  tree_->SelectLine(first);
  tree_->CloseEditor();
  tree_->DeleteAllOptions();
  Settle();
  EXPECT_FALSE(tree_->HasOpenEditor());
  EXPECT_EQ(tree_->model()->rowCount(), 0);
  EXPECT_TRUE(tree_->viewport()->findChildren<QLineEdit*>().isEmpty());
}

TEST_F(OptionTreeTest, CopyBranchCopiesRecords) {
  const OptionLine box = tree_->InsertCheckBoxItem(QStringLiteral("Box"), group_, true);
  tree_->SetItemUserData(box, 42);
  const OptionLine copy = tree_->CopyBranch(group_, nullptr, group_);
  ASSERT_EQ(copy->rowCount(), 1);
  bool ticked = false;
  EXPECT_TRUE(tree_->IsGroup(copy));
  EXPECT_TRUE(tree_->GetCheckState(copy->child(0), ticked));
  EXPECT_TRUE(ticked);
  EXPECT_EQ(tree_->GetItemUserData(copy->child(0)), 42u);
  tree_->SetCheckState(box, false);  // the copy's record is its own
  EXPECT_TRUE(tree_->GetCheckState(copy->child(0), ticked) && ticked);
}

}  // namespace
}  // namespace qs
