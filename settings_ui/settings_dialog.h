// SettingsDialog: the modal dialog that shows the stored settings as lines of an option tree
// and writes them back on Apply or Save, keeping the autostart entry in step with "Run in
// background". Nothing is pushed to a running component: every consumer reads its key when it
// needs it. GUI thread only.
#pragma once

#include <QDialog>
#include <array>
#include <string>

#include "settings_ui/option_tree_ctrl.h"

class QPushButton;

namespace qs {

class Autostart;
class SettingsStore;

class SettingsDialog : public QDialog {
  Q_OBJECT

 public:
  // The autostart entry is written for `executable_directory` (with its trailing separator);
  // empty means the running executable's own directory.
  SettingsDialog(SettingsStore& store, Autostart& autostart, QWidget* parent = nullptr,
                 std::string executable_directory = {});

  // The option lines in their order: the delay, the command, then the eight switches.
  static constexpr int kLineCount = 10;
  OptionLine Line(int i) const { return lines_[static_cast<std::size_t>(i)]; }
  OptionLine GroupLine() const { return group_; }
  COptionTreeCtrl* Tree() const { return tree_; }
  QPushButton* CancelButton() const { return cancel_; }
  QPushButton* SaveButton() const { return save_; }
  QPushButton* ApplyButton() const { return apply_; }

  // Loading refills the tree from the store; both directions then move the line values.
  void DoDataExchange(bool saving);
  void OnApply();
  void OnSave();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void FillTree();
  void OnTreeClick();
  void Layout(int cx, int cy);

  SettingsStore& store_;
  Autostart& autostart_;
  std::string executable_directory_;
  QPushButton* cancel_;
  COptionTreeCtrl* tree_;
  QPushButton* save_;
  QPushButton* apply_;
  OptionLine group_ = nullptr;
  std::array<OptionLine, kLineCount> lines_{};
  int delay_ = 0;
  QString delay_text_;
  QString command_;
  std::array<int, kLineCount - 2> switches_{};  // lines 3 to 10, 0 or 1
};

// Opens the dialog modally over `parent` (null: no parent; with the main window as parent the
// dialog also takes its icon) and returns when it closes with QDialog's result, which callers
// may ignore. The autostart entry is written for the running executable's directory. What the
// program's Settings items call.
int RunSettingsDialog(QWidget* parent, SettingsStore& store, Autostart& autostart);

}  // namespace qs
