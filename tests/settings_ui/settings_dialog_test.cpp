// The settings dialog and its option tree offscreen against a settings file in a temporary
// profile: what it shows, how its boxes and in-place editors behave, what Apply and Save write,
// and what closing leaves alone.
#include "settings_ui/settings_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
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

// Apply enabled, Save enabled, Cancel's text.
using ButtonState = std::tuple<bool, bool, QString>;

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

// The ten lines in their order, and the focus on Cancel.
TEST_F(SettingsDialogTest, EmptyProfileShowsTheDefaultsInOrder) {
  Open();
  const struct {
    const char* label;
    int ticked;  // -1: a value line
  } lines[] = {{"Delay between scans: 300", -1},
               {"Run after complete archive: ", -1},
               {"Rename sfv file after complete archive", 0},
               {"Delete sfv file after complete archive", 0},
               {"Create a SFV-checked-file after complete archive", 1},
               {"Delete Quarrystream file after complete archive", 1},
               {"Hide to tray at startup", 0},
               {"Run in background when the desktop session starts", 0},
               {"Add new entries quiet to Mirrowen", 1},
               {"Scan as soon as files arrive", 1}};
  ASSERT_EQ(SettingsDialog::kLineCount, static_cast<int>(std::size(lines)));
  for (int i = 0; i < SettingsDialog::kLineCount; ++i) {
    EXPECT_EQ(dialog_->Line(i)->text(), QString::fromLatin1(lines[i].label));
    if (lines[i].ticked >= 0) {
      EXPECT_EQ(Ticked(i), lines[i].ticked == 1) << lines[i].label;
    }
  }
  EXPECT_EQ(Buttons(), (ButtonState{true, true, QStringLiteral("Cancel")}));
  EXPECT_TRUE(dialog_->CancelButton()->hasFocus());
}

// Apply writes every line, autorun forcing HideToTray, and sets the autostart entry; Cancel then
// reads "Hide" until a click anywhere in the tree, the group line too, touches the dialog again
// ("Abort"). Save writes, removes the entry and closes.
TEST_F(SettingsDialogTest, AutoRunApplyWritesEntryAndForcesHideToTray) {
  Open();
  Click(dialog_->Line(7));
  EXPECT_EQ(Buttons(), (ButtonState{true, true, QStringLiteral("Abort")}));
  QTest::mouseClick(dialog_->ApplyButton(), Qt::LeftButton);
  EXPECT_EQ(Stored("AutoRunAtStartup"), 1);
  EXPECT_EQ(Stored("HideToTray"), 1);
  EXPECT_EQ(Stored("CreateNoCheckFile"), 1);
  ASSERT_TRUE(autostart_.IsSet());
  EXPECT_NE(test::ReadFile(autostart_.EntryPath()).find("Exec=\"/opt/qs/quarrystream\""),
            std::string::npos);
  EXPECT_TRUE(Ticked(6));  // refilled from the store
  EXPECT_EQ(Buttons(), (ButtonState{false, false, QStringLiteral("Hide")}));
  Click(dialog_->GroupLine());
  EXPECT_EQ(Buttons(), (ButtonState{true, true, QStringLiteral("Abort")}));

  Tree().SelectLine(dialog_->Line(7));
  QTest::keyClick(&Tree(), Qt::Key_Space);
  QTest::mouseClick(dialog_->SaveButton(), Qt::LeftButton);
  EXPECT_FALSE(autostart_.IsSet());
  EXPECT_EQ(Stored("AutoRunAtStartup"), 0);
  EXPECT_EQ(Stored("HideToTray"), 1);
  EXPECT_EQ(dialog_->result(), QDialog::Accepted);
  EXPECT_FALSE(dialog_->isVisible());
}

// Escape, the close box and Cancel (or Abort) write nothing; Enter does nothing.
TEST_F(SettingsDialogTest, ClosingWritesNothing) {
  const std::function<void(SettingsDialog&)> closers[] = {
      [](SettingsDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); },
      [](SettingsDialog& d) { d.close(); },
      [](SettingsDialog& d) { QTest::mouseClick(d.CancelButton(), Qt::LeftButton); },
  };
  for (const auto& close : closers) {
    Open();
    Click(dialog_->Line(2));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(dialog_.get(), Qt::Key_Enter);
    ASSERT_TRUE(dialog_->isVisible());
    close(*dialog_);
    EXPECT_FALSE(dialog_->isVisible());
  }
  EXPECT_FALSE(test::Exists(file_));
  EXPECT_FALSE(autostart_.IsSet());
}

// Moving the selection, Tab (no button on this line) and a button press that takes the focus
// each commit the editor and close it.
TEST_F(SettingsDialogTest, CommandEditorCommitsWhenItLosesTheLine) {
  Open();
  const OptionLine command = dialog_->Line(1);
  Click(command);
  ASSERT_NE(Tree().EditEditor(), nullptr);
  QTest::mouseClick(Tree().EditEditor(), Qt::LeftButton);
  QTest::keyClicks(Tree().EditEditor(), QStringLiteral("notify-send %3"));
  Click(dialog_->Line(0));
  EXPECT_EQ(command->text(), QStringLiteral("Run after complete archive: notify-send %3"));
  Click(command);
  Tree().EditEditor()->setFocus();
  QTest::keyClicks(Tree().EditEditor(), QStringLiteral(" a: b"));  // the separator in a value
  QTest::keyClick(Tree().EditEditor(), Qt::Key_Tab);
  EXPECT_FALSE(Tree().HasOpenEditor());
  Click(command);  // the selected line: opens the editor again
  ASSERT_NE(Tree().EditEditor(), nullptr);
  Tree().EditEditor()->setFocus();
  QTest::keyClicks(Tree().EditEditor(), QStringLiteral("!"));
  QTest::mouseClick(dialog_->ApplyButton(), Qt::LeftButton);
  EXPECT_EQ(IniSettingsStore(RealFileSystem(), file_).ReadText("PostExecution", "?"),
            "notify-send %3 a: b!");
}

// The delay is read-only text that its arrows step within 5 to 1500.
TEST_F(SettingsDialogTest, DelayEditorOnlyStepsWithinItsRange) {
  Open();
  const struct {
    const char* start;
    int steps;
    const char* shown;
  } cases[] = {{"300", 1, "301"}, {"5", -1, "5"}, {"999", 1, "1000"}, {"1499", 3, "1500"}};
  for (const auto& c : cases) {
    Tree().SetValueText(dialog_->Line(0), QString::fromLatin1(c.start));
    Tree().SelectLine(dialog_->GroupLine());
    Tree().SelectLine(dialog_->Line(0));
    COptionTreeSpinCtrl* spin = Tree().SpinEditor();
    ASSERT_NE(spin, nullptr);
    QTest::keyClicks(Tree().EditEditor(), QStringLiteral("7"));
    for (int i = 0; i < std::abs(c.steps); ++i) {
      QTest::mouseClick(c.steps > 0 ? spin->UpButton() : spin->DownButton(), Qt::LeftButton);
    }
    Tree().SelectLine(dialog_->GroupLine());
    EXPECT_EQ(Tree().GetValueText(dialog_->Line(0)), QString::fromLatin1(c.shown));
  }
  QTest::mouseClick(dialog_->ApplyButton(), Qt::LeftButton);
  EXPECT_EQ(Stored("ReScan"), 1500);
}

}  // namespace
}  // namespace qs
