// The option tree offscreen, in the kinds of line the settings dialog has: value lines, boxes,
// and the life of their in-place editors.
#include <gtest/gtest.h>

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
    window_.show();
    window_.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window_));
  }
  OptionLine EditLine(const QString& label, const QString& value) {
    const OptionLine line = tree_->InsertItem(label, 1, group_);
    tree_->AttachEditBox(line, RuntimeClass<CCommandEdit>());
    tree_->SetValueText(line, value);
    tree_->expandAll();
    return line;
  }
  void Click(OptionLine line) {
    QTest::mouseClick(tree_->viewport(), Qt::LeftButton, {},
                      tree_->visualRect(line->index()).center());
  }

  QWidget window_;
  COptionTreeCtrl* tree_ = new COptionTreeCtrl(&window_);
  QPushButton* other_ = new QPushButton(QStringLiteral("Other"), &window_);
  OptionLine group_ = nullptr;
};

TEST_F(OptionTreeTest, ValueTextFollowsTheFirstSeparator) {
  const struct {
    const char* line;
    const char* value;
    const char* shown;
  } cases[] = {
      {"Delay: ", "300", "Delay: 300"},      // label ending in the separator
      {"Delay: 300", "60", "Delay: 60"},     // a value is replaced whole
      {"Delay", "60", "Delay: 60"},          // the separator is added
      {"Run: ", "a: b: c", "Run: a: b: c"},  // a value may hold the separator itself
  };
  for (const auto& c : cases) {
    const OptionLine line = tree_->InsertItem(QString::fromUtf8(c.line), -1, group_);
    tree_->SetValueText(line, QString::fromUtf8(c.value));
    EXPECT_EQ(line->text(), QString::fromUtf8(c.shown));
    EXPECT_EQ(tree_->GetValueText(line), QString::fromUtf8(c.value));
  }
}

TEST_F(OptionTreeTest, ClickAndSpaceToggleABox) {
  const OptionLine box = tree_->InsertCheckBoxItem(QStringLiteral("Box"), group_, false);
  tree_->expandAll();
  Click(box);
  bool ticked = false;
  ASSERT_TRUE(tree_->GetCheckState(box, ticked));
  EXPECT_TRUE(ticked);
  QTest::keyClick(tree_, Qt::Key_Space);
  ASSERT_TRUE(tree_->GetCheckState(box, ticked));
  EXPECT_FALSE(ticked);
}

TEST_F(OptionTreeTest, EditorOpensOnSelectionAndCommitsWhenItMovesOrLosesTheFocus) {
  const OptionLine first = EditLine(QStringLiteral("First: "), QStringLiteral("one"));
  const OptionLine second = EditLine(QStringLiteral("Second: "), QStringLiteral("two"));
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
  // A click on the selected line with no editor opens one again; focus elsewhere commits it.
  Click(second);
  ASSERT_NE(tree_->EditEditor(), nullptr);
  tree_->EditEditor()->setFocus();
  QTest::keyClicks(tree_->EditEditor(), QStringLiteral(" %1"));
  other_->setFocus(Qt::MouseFocusReason);
  EXPECT_FALSE(tree_->HasOpenEditor());
  EXPECT_EQ(tree_->GetValueText(second), QStringLiteral("dos %1"));
}

TEST_F(OptionTreeTest, DelayEditorOnlyStepsWithinItsRange) {
  const OptionLine line = tree_->InsertItem(QStringLiteral("Delay: "), 1, group_);
  tree_->AttachSpinEditBox(line, RuntimeClass<CSpinEdit>(), RuntimeClass<CDelaySpin>());
  tree_->expandAll();
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

}  // namespace
}  // namespace qs
