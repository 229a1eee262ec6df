// COptionTreeCtrl: options shown as tree lines. Group lines, check boxes and radio buttons are
// drawn by the style; a value line reads "label: value", and its value is edited in place by an
// editor (option_tree_editors.h) that the tree creates over the line when it is selected and
// removes when the selection moves on, writing the editor's text back into the line.
//
// A model (OptionTreeModel, one OptionTreeLine per line carrying its record), this view, and a
// delegate that draws the boxes. Line handles are the model's items. GUI thread only.
#pragma once

#include <QList>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QTreeView>
#include <memory>

#include "settings_ui/option_item_data.h"

class QIcon;

namespace qs {

class CMultiLineEditFrameWnd;
class COptionTreeBrowseButton;
class COptionTreeCombo;
class COptionTreeDateCtrl;
class COptionTreeEdit;
class COptionTreeIPAddressCtrl;
class COptionTreeSpinCtrl;

using OptionLine = QStandardItem*;

// One line: its text, its image index in the tree's image list, and its record (none for a
// plain line). The record goes with the line.
class OptionTreeLine final : public QStandardItem {
 public:
  static constexpr int kType = QStandardItem::UserType + 1;
  OptionTreeLine(const QString& text, int image);
  int type() const override { return kType; }
  QVariant data(int role) const override;
  int image = -1;
  std::unique_ptr<OptionItemData> record;
};

class OptionTreeModel final : public QStandardItemModel {
 public:
  using QStandardItemModel::QStandardItemModel;
  void SetImageList(const QList<QIcon>& images);
  QIcon Image(int index) const;

 private:
  QList<QIcon> images_;
};

class COptionTreeCtrl : public QTreeView {
  Q_OBJECT

 public:
  explicit COptionTreeCtrl(QWidget* parent = nullptr);
  ~COptionTreeCtrl() override;

  static inline const QString kSeparator = QStringLiteral(": ");

  // The tree's normal image list; lines name their image by index.
  void SetImageList(const QList<QIcon>& images);

  // Lines. A null parent is the root; a null `after` inserts at the end.
  OptionLine InsertItem(const QString& text, int image, OptionLine parent = nullptr,
                        OptionLine after = nullptr);
  OptionLine InsertGroupItem(const QString& text, int image, OptionLine parent = nullptr,
                             OptionLine after = nullptr, quintptr user_data = 0);
  OptionLine InsertCheckBoxItem(const QString& text, OptionLine parent, bool ticked,
                                OptionLine after = nullptr, quintptr user_data = 0);
  OptionLine InsertRadioItem(const QString& text, OptionLine parent, bool chosen,
                             OptionLine after = nullptr, quintptr user_data = 0);

  // Editors: each gives the line a new record of its kind, freeing an old one.
  void AttachComboBox(OptionLine item, OptionEditorClass combo_class, quintptr user_data = 0);
  void AttachEditBox(OptionLine item, OptionEditorClass edit_class, quintptr user_data = 0);
  void AttachSpinEditBox(OptionLine item, OptionEditorClass edit_class,
                         OptionEditorClass spin_class, quintptr user_data = 0);
  void AttachBrowseEditBox(OptionLine item, OptionEditorClass edit_class,
                           OptionEditorClass button_class, quintptr user_data = 0);
  void AttachFolderBrowseEditBox(OptionLine item, OptionEditorClass edit_class,
                                 OptionEditorClass button_class, quintptr user_data = 0);
  void AttachColorBrowser(OptionLine item, OptionEditorClass button_class, bool show_colour,
                          quintptr user_data = 0);
  void AttachFontBrowser(OptionLine item, OptionEditorClass button_class, quintptr user_data = 0);
  void AttachDateTimeCtrl(OptionLine item, OptionEditorClass date_class, quintptr user_data = 0);
  void AttachIPAddressCtrl(OptionLine item, OptionEditorClass ip_class, quintptr user_data = 0);
  void AttachComboBrowser(OptionLine item, OptionEditorClass combo_class,
                          OptionEditorClass button_class, quintptr user_data = 0);

  OptionItemData* Record(OptionLine item) const;
  OptionLine ItemOf(const QModelIndex& index) const;
  OptionItemKind KindOf(OptionLine item) const;
  bool IsGroup(OptionLine item) const { return KindOf(item) == OptionItemKind::kGroup; }
  bool IsFileBrowse(OptionLine i) const { return KindOf(i) == OptionItemKind::kFileBrowse; }
  bool IsFolderBrowse(OptionLine i) const { return KindOf(i) == OptionItemKind::kFolderBrowse; }
  bool IsColor(OptionLine item) const { return KindOf(item) == OptionItemKind::kColour; }
  bool IsFont(OptionLine item) const { return KindOf(item) == OptionItemKind::kFont; }
  bool IsCheckBox(OptionLine item) const { return KindOf(item) == OptionItemKind::kCheckBox; }
  bool IsRadioButton(OptionLine item) const { return KindOf(item) == OptionItemKind::kRadio; }
  bool IsEditBox(OptionLine item) const { return KindOf(item) == OptionItemKind::kEdit; }
  bool IsDateTime(OptionLine item) const { return KindOf(item) == OptionItemKind::kDateTime; }
  bool IsIPAddress(OptionLine i) const { return KindOf(i) == OptionItemKind::kIPAddress; }
  bool IsComboBrowse(OptionLine i) const { return KindOf(i) == OptionItemKind::kComboBrowse; }

  // The value behind the first separator of the line text.
  void SetValueText(OptionLine item, const QString& text);
  QString GetValueText(OptionLine item) const;
  virtual void RemoveValueText(OptionLine item);

  // Typed values, each also shown as the line's value text.
  void SetColor(OptionLine item, const QColor& colour);
  QColor GetColor(OptionLine item) const;
  void SetFontValue(OptionLine item, const QFont& font);
  QFont GetFontValue(OptionLine item) const;
  void SetDateTime(OptionLine item, const QDateTime& value);
  QDateTime GetDateTime(OptionLine item) const;
  void SetIPAddress(OptionLine item, quint32 address);
  quint32 GetIPAddress(OptionLine item) const;
  void SetMultiLineText(OptionLine item, const QString& text);
  QString GetMultiLineText(OptionLine item) const;
  quintptr GetItemUserData(OptionLine item) const;
  void SetItemUserData(OptionLine item, quintptr data);

  void EnableThemedDrawing(bool themed);
  bool ThemedDrawing() const { return themed_drawing_; }
  void SetIconOnlyToggling(bool on) { icon_only_toggling_ = on; }
  void SetFocusEditorOnOpen(bool on) { focus_editor_on_open_ = on; }

  virtual void DeleteAllOptions();
  virtual bool SetCheckState(OptionLine item, bool ticked);
  virtual bool GetCheckState(OptionLine item, bool& ticked) const;
  virtual void SelectRadioButton(OptionLine item);
  virtual void SelectRadioButtonByIndex(OptionLine parent, int index);
  virtual bool GetRadioButton(OptionLine item, bool& chosen) const;
  // The position and line of the chosen button of the parent's leading run; false when none.
  virtual bool GetChosenRadio(OptionLine parent, int& index, OptionLine& chosen) const;
  virtual void EnableGroup(OptionLine parent, bool enabled);
  virtual bool EnableCheckBox(OptionLine item, bool enabled);
  virtual bool EnableRadioButton(OptionLine item, bool enabled);
  virtual bool GetRadioButtonEnabled(OptionLine item, bool& enabled) const;
  virtual bool GetCheckBoxEnabled(OptionLine item, bool& enabled) const;
  virtual OptionLine CopyItem(OptionLine item, OptionLine new_parent, OptionLine after);
  virtual OptionLine CopyBranch(OptionLine item, OptionLine new_parent, OptionLine after);
  virtual bool SetCheckBoxShaded(OptionLine item, bool shaded);
  virtual bool GetRadioButtonShaded(OptionLine item, bool& shaded) const;

  // The editor's life.
  virtual void EditorLostFocus();
  virtual void CloseEditor();
  virtual void OpenEditor(OptionLine item);
  virtual void CommitEditorValue(OptionLine item);
  virtual void ToggleCheckBox(OptionLine item, bool current);
  bool HasOpenEditor() const;
  OptionLine EditedLine() const;
  OptionLine SelectedLine() const;
  void SelectLine(OptionLine item);
  // The open editors, null when closed.
  COptionTreeCombo* ComboEditor() const;
  COptionTreeEdit* EditEditor() const;
  CMultiLineEditFrameWnd* MultiLineFrame() const;
  COptionTreeSpinCtrl* SpinEditor() const;
  COptionTreeBrowseButton* BrowseButton() const;
  COptionTreeDateCtrl* DateTimeEditor() const;
  COptionTreeIPAddressCtrl* IPAddressEditor() const;

  // The area of a line where its image sits (where a box is drawn), in viewport coordinates,
  // and the 16x16 box centred in it.
  QRect FindIconSpan(OptionLine item) const;
  static QRect BoxRect(const QRect& span);

  // Gives the focus to the first open editor (combo, multi-line frame, edit, date/time, IP).
  void FocusEditor();
  // Commits, closes and opens again the editor of the selected line.
  void ReopenEditor();

 signals:
  // Any click in the tree, after the tree has handled it (NM_CLICK).
  void Clicked();

 protected:
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  OptionLine Insert(std::unique_ptr<OptionTreeLine> line, OptionLine parent, OptionLine after);
  OptionItemData& NewRecord(OptionLine item, OptionItemKind kind, OptionEditorClass editor,
                            quintptr user_data);
  QList<OptionLine> RadioRun(OptionLine parent) const;
  void Invalidate(OptionLine item);
  void FreeRecordsOfLevel(OptionLine first);
  void CommitAndClose();
  void CreateSpinCompanion();
  void CreateBrowseCompanion(const QRect& row, const QRect& editor_rect);
  QRect LabelTextRect(OptionLine item) const;
  void Watch(QWidget* editor);
  bool OwnsWidget(const QWidget* widget) const;
  bool ToggleHit(const QModelIndex& index, const QPoint& pos) const;

  OptionTreeModel* model_;
  QPointer<COptionTreeCombo> combo_;
  QPointer<COptionTreeEdit> edit_;
  QPointer<CMultiLineEditFrameWnd> frame_;
  QPointer<COptionTreeSpinCtrl> spin_;
  QPointer<COptionTreeBrowseButton> browse_;
  QPointer<COptionTreeDateCtrl> date_;
  QPointer<COptionTreeIPAddressCtrl> ip_;
  QPersistentModelIndex edited_;
  QString opened_value_;  // the edited line's value text when its editor opened
  bool icon_only_toggling_ = false;
  bool focus_editor_on_open_ = false;
  bool deleting_ = false;
  bool themed_drawing_ = true;
};

}  // namespace qs
