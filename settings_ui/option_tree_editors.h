// The in-place editors of the option tree. The tree creates one from the class a line's record
// names, places it over the line and removes it when the line loses the selection or the editor
// loses the focus. A class changes an editor through a few virtual operations: its style, its
// height rule, how it shows a value as line text and, for the browse button, how it asks the
// user for a value. GUI thread only.
#pragma once

#include <QComboBox>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <array>
#include <utility>

#include "settings_ui/option_tree_ctrl.h"

class QPlainTextEdit;
class QToolButton;

namespace qs {

// What every editor knows of where it belongs; set by the tree when it creates the editor.
struct OptionEditorLink {
  virtual ~OptionEditorLink() = default;
  COptionTreeCtrl* tree = nullptr;
  OptionLine line = nullptr;
};

class COptionTreeCombo : public QComboBox, public OptionEditorLink {
  Q_OBJECT
 public:
  COptionTreeCombo();
  // A drop-down list by default: the value is one of the entries.
  virtual bool EditableStyle() const { return false; }
  COptionTreeBrowseButton* button = nullptr;
};

class COptionTreeFontNameCombo : public COptionTreeCombo {
  Q_OBJECT
 public:
  COptionTreeFontNameCombo();
};

class COptionTreeBooleanCombo : public COptionTreeCombo {
  Q_OBJECT
 public:
  COptionTreeBooleanCombo();
  static inline const QString kTrue = QStringLiteral("True");
  static inline const QString kFalse = QStringLiteral("False");
};

class COptionTreeDateCtrl : public QDateTimeEdit, public OptionEditorLink {
  Q_OBJECT
 public:
  COptionTreeDateCtrl();
  // The value as the line shows it: the user's short date format.
  virtual QString FormatValue(const QDateTime& value) const;
};

class COptionTreeTimeCtrl : public COptionTreeDateCtrl {
  Q_OBJECT
 public:
  COptionTreeTimeCtrl();
  QString FormatValue(const QDateTime& value) const override;
};

// Four fields of 0 to 255 separated by dots.
class COptionTreeIPAddressCtrl : public QWidget, public OptionEditorLink {
  Q_OBJECT
 public:
  COptionTreeIPAddressCtrl();
  virtual QString FormatAddress(quint32 address) const;
  void SetAddress(quint32 address);
  // False unless all four fields are filled.
  bool GetAddress(quint32& address) const;
  QLineEdit* Field(int i) const { return fields_[static_cast<std::size_t>(i)]; }

 private:
  std::array<QLineEdit*, 4> fields_{};
};

class COptionTreeEdit : public QLineEdit, public OptionEditorLink {
  Q_OBJECT
 public:
  COptionTreeEdit();
  virtual bool MultiLineStyle() const { return false; }
  virtual bool ReadOnlyStyle() const { return false; }
  // The editor's height over a line whose text is `text_height` pixels high.
  virtual int HeightFor(int text_height) const;
  virtual void BrowseForFolder();
  virtual void BrowseForFile();
  virtual QString FolderCaption() const { return QStringLiteral("Please specify a folder"); }
  virtual QString FileCaption() const { return QStringLiteral("Please specify a file"); }
  virtual QString FileFilter() const { return QStringLiteral("All Files (*)"); }
  // A multi-line text as one line shows it: up to the first line break, then "...".
  virtual QString DisplayText(const QString& full) const;

  COptionTreeBrowseButton* button = nullptr;
  // True while a file or folder chooser opened from this edit is on screen.
  bool browsing = false;
};

class CCommandEdit : public COptionTreeEdit {
  Q_OBJECT
};

class CMultiLineTextEdit : public COptionTreeEdit {
  Q_OBJECT
 public:
  bool MultiLineStyle() const override { return true; }
  int HeightFor(int) const override { return 100; }
};

// A number that only its up-down control changes.
class CSpinEdit : public COptionTreeEdit {
  Q_OBJECT
 public:
  bool ReadOnlyStyle() const override { return true; }
};

// The pop-up tool window that holds a multi-line edit; it passes the focus on to the edit.
class CMultiLineEditFrameWnd : public QFrame {
  Q_OBJECT
 public:
  CMultiLineEditFrameWnd();
  QPlainTextEdit* Edit() const { return edit_; }

 protected:
  void focusInEvent(QFocusEvent* event) override;

 private:
  QPlainTextEdit* edit_;
};

// The up-down companion of an edit: steps the number in its buddy within its range and writes
// it back without thousands separators; the arrow keys in the buddy step it too.
class COptionTreeSpinCtrl : public QWidget, public OptionEditorLink {
  Q_OBJECT
 public:
  COptionTreeSpinCtrl();
  virtual std::pair<int, int> Range() const { return {0, 100}; }
  void SetBuddy(QLineEdit* buddy);
  void Step(int delta);
  QToolButton* UpButton() const { return up_; }
  QToolButton* DownButton() const { return down_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* buddy_ = nullptr;
  QToolButton* up_;
  QToolButton* down_;
};

class CDelaySpin : public COptionTreeSpinCtrl {
  Q_OBJECT
 public:
  std::pair<int, int> Range() const override { return {5, 1500}; }
};

// "...": the companion of file, folder and combo lines, or the editor itself of colour and
// font lines.
class COptionTreeBrowseButton : public QPushButton, public OptionEditorLink {
  Q_OBJECT
 public:
  COptionTreeBrowseButton();
  virtual QString Caption() const { return QStringLiteral("..."); }
  virtual int ButtonWidth() const;
  // The choosers answer whether the user chose (and the button took) a value.
  virtual bool BrowseForColour();
  virtual bool BrowseForFont();
  // For combo lines with a button; a subclass says what it does.
  virtual void OtherBrowse() {}

  QColor colour;
  QFont chosen_font;
  COptionTreeEdit* edit = nullptr;
  COptionTreeCombo* combo = nullptr;
  CMultiLineEditFrameWnd* frame = nullptr;

 private:
  void OnClicked();
};

class COptionTreeFileDialog : public QFileDialog {
  Q_OBJECT
 public:
  COptionTreeFileDialog(QWidget* parent, const QString& caption, const QString& file,
                        const QString& filter);
};

}  // namespace qs
