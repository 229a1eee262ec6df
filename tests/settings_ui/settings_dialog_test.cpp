// The settings dialog offscreen against a settings file in a temporary profile: what it shows,
// what Apply and Save write, and what closing leaves alone.
#include "settings_ui/settings_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "config/ini_settings_store.h"
#include "platform/autostart.h"
#include "platform/file_system.h"
#include "settings_ui/option_tree_editors.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

struct ButtonState {
  bool apply;
  bool save;
  QString cancel;
  bool operator==(const ButtonState&) const = default;
};

class SettingsDialogTest : public ::testing::Test {
 protected:
  void Open() {
    dialog_ = std::make_unique<SettingsDialog>(store_, autostart_, nullptr, "/opt/qs/");
    dialog_->show();
    dialog_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog_.get()));
  }
  COptionTreeCtrl& Tree() { return *dialog_->Tree(); }
  void Click(OptionLine line) {
    QTest::mouseClick(Tree().viewport(), Qt::LeftButton, {},
                      Tree().visualRect(line->index()).center());
  }
  bool Ticked(int i) {
    bool ticked = false;
    EXPECT_TRUE(Tree().GetCheckState(dialog_->Line(i), ticked));
    return ticked;
  }
  ButtonState Buttons() {
    return {dialog_->ApplyButton()->isEnabled(), dialog_->SaveButton()->isEnabled(),
            dialog_->CancelButton()->text()};
  }
  std::int32_t Stored(std::string_view key) {
    return IniSettingsStore(RealFileSystem(), file_).ReadInt(key, -99);
  }

  test::TempDir dir_;
  std::string file_ = dir_.Path("Mirrowen.conf");
  IniSettingsStore store_{RealFileSystem(), file_};
  Autostart autostart_{dir_.Path("autostart")};
  std::unique_ptr<SettingsDialog> dialog_;
};

TEST_F(SettingsDialogTest, EmptyProfileShowsTheDefaultsInOrder) {
  Open();
  EXPECT_EQ(dialog_->windowTitle(), QStringLiteral("Quarrystream settings"));
  EXPECT_EQ(dialog_->GroupLine()->text(), QStringLiteral("Quarrystream"));
  EXPECT_TRUE(Tree().isExpanded(dialog_->GroupLine()->index()));
  const char* const labels[] = {"Delay between scans: 300",
                                "Run after complete archive: ",
                                "Rename sfv file after complete archive",
                                "Delete sfv file after complete archive",
                                "Create a SFV-checked-file after complete archive",
                                "Delete Quarrystream file after complete archive",
                                "Hide to tray at startup",
                                "Run in background when the desktop session starts",
                                "Add new entries quiet to Mirrowen",
                                "Scan as soon as files arrive"};
  const bool ticked[] = {false, false, true, true, false, false, true, true};
  for (int i = 0; i < SettingsDialog::kLineCount; ++i) {
    EXPECT_EQ(dialog_->Line(i)->text(), QString::fromLatin1(labels[i]));
    EXPECT_EQ(dialog_->Line(i)->parent(), dialog_->GroupLine());
    if (i >= 2) {
      EXPECT_EQ(Ticked(i), ticked[i - 2]) << labels[i];
    }
  }
  EXPECT_EQ(Buttons(), (ButtonState{true, true, QStringLiteral("Cancel")}));
  EXPECT_TRUE(dialog_->CancelButton()->hasFocus());
}

TEST_F(SettingsDialogTest, TabOrderIsCancelTreeSaveApply) {
  Open();
  const QWidget* expected[] = {dialog_->Tree(), dialog_->SaveButton(), dialog_->ApplyButton(),
                               dialog_->CancelButton()};
  for (const QWidget* next : expected) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), next);
  }
}

TEST_F(SettingsDialogTest, AutoRunApplyWritesEntryAndForcesHideToTray) {
  Open();
  Click(dialog_->Line(7));
  EXPECT_EQ(Buttons(), (ButtonState{true, true, QStringLiteral("Abort")}));
  QTest::mouseClick(dialog_->ApplyButton(), Qt::LeftButton);
  EXPECT_EQ(Stored("AutoRunAtStartup"), 1);
  EXPECT_EQ(Stored("HideToTray"), 1);
  EXPECT_EQ(Stored("ReScan"), 300);
  EXPECT_EQ(Stored("CreateNoCheckFile"), 1);
  ASSERT_TRUE(autostart_.IsSet());
  EXPECT_NE(test::ReadFile(autostart_.EntryPath()).find("Exec=\"/opt/qs/quarrystream\""),
            std::string::npos);
  EXPECT_TRUE(Ticked(6));  // refilled from the store
  EXPECT_EQ(Buttons(), (ButtonState{false, false, QStringLiteral("Hide")}));
  // One click anywhere in the tree, the group line too, makes it touched again.
  Click(dialog_->GroupLine());
  EXPECT_EQ(Buttons(), (ButtonState{true, true, QStringLiteral("Abort")}));

  Click(dialog_->Line(7));
  QTest::mouseClick(dialog_->SaveButton(), Qt::LeftButton);
  EXPECT_FALSE(autostart_.IsSet());
  EXPECT_EQ(Stored("AutoRunAtStartup"), 0);
  EXPECT_EQ(Stored("HideToTray"), 1);
  EXPECT_EQ(dialog_->result(), QDialog::Accepted);
  EXPECT_FALSE(dialog_->isVisible());
}

TEST_F(SettingsDialogTest, ClosingWritesNothing) {
  const std::function<void(SettingsDialog&)> closers[] = {
      [](SettingsDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); },
      [](SettingsDialog& d) { d.close(); },
      [](SettingsDialog& d) { QTest::mouseClick(d.CancelButton(), Qt::LeftButton); },
  };
  for (const auto& close : closers) {
    Open();
    Click(dialog_->Line(2));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // Enter does nothing
    QTest::keyClick(dialog_.get(), Qt::Key_Enter);
    ASSERT_TRUE(dialog_->isVisible());
    close(*dialog_);
    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_EQ(dialog_->result(), QDialog::Rejected);
  }
  EXPECT_FALSE(test::Exists(file_));
  EXPECT_FALSE(autostart_.IsSet());
}

TEST_F(SettingsDialogTest, ApplyStoresTextTypedInAnOpenEditor) {
  Open();
  Click(dialog_->Line(1));
  COptionTreeEdit* edit = Tree().EditEditor();
  ASSERT_NE(edit, nullptr);
  QTest::mouseClick(edit, Qt::LeftButton);
  QTest::keyClicks(edit, QStringLiteral("notify-send %3"));
  QTest::mouseClick(dialog_->ApplyButton(), Qt::LeftButton);
  EXPECT_EQ(IniSettingsStore(RealFileSystem(), file_).ReadText("PostExecution", "?"),
            "notify-send %3");
  EXPECT_EQ(dialog_->Line(1)->text(), QStringLiteral("Run after complete archive: notify-send %3"));
  EXPECT_FALSE(Tree().HasOpenEditor());
}

TEST_F(SettingsDialogTest, DelayStepsWithTheUpDownAndIsStored) {
  store_.WriteInt("ReScan", 1499);
  Open();
  Click(dialog_->Line(0));
  ASSERT_NE(Tree().SpinEditor(), nullptr);
  for (int i = 0; i < 3; ++i) {
    QTest::mouseClick(Tree().SpinEditor()->UpButton(), Qt::LeftButton);
  }
  QTest::mouseClick(dialog_->ApplyButton(), Qt::LeftButton);
  EXPECT_EQ(Stored("ReScan"), 1500);
}

TEST_F(SettingsDialogTest, LayoutFollowsTheSize) {
  Open();
  for (const QSize size : {QSize(400, 300), QSize(700, 520)}) {
    dialog_->resize(size);
    const int cx = size.width();
    const int cy = size.height();
    EXPECT_EQ(dialog_->Tree()->geometry(), QRect(10, 7, cx - 20, cy - 45));
    EXPECT_EQ(dialog_->CancelButton()->geometry(), QRect(cx - 60, cy - 34, 50, 25));
    EXPECT_EQ(dialog_->SaveButton()->geometry(), QRect(cx - 116, cy - 34, 50, 25));
    EXPECT_EQ(dialog_->ApplyButton()->geometry(), QRect(cx - 172, cy - 34, 50, 25));
  }
}

}  // namespace
}  // namespace qs
