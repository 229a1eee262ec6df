// The option tree's in-place editors: when they open and close, where they sit, and how their
// value gets back into the line.
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTimer>

#include "settings_ui/option_tree_ctrl.h"
#include "settings_ui/option_tree_editors.h"

namespace qs {

namespace {

bool IgnoredFocusLoss(Qt::FocusReason reason) {
  // A pop-up of the editor itself (a drop-down list, a calendar) or a switch to another window
  // (a chooser opened from the line, another program) leaves the line being edited.
  return reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason;
}

}  // namespace

COptionTreeCombo* COptionTreeCtrl::ComboEditor() const {
  return combo_;
}

COptionTreeEdit* COptionTreeCtrl::EditEditor() const {
  return edit_;
}

CMultiLineEditFrameWnd* COptionTreeCtrl::MultiLineFrame() const {
  return frame_;
}

COptionTreeSpinCtrl* COptionTreeCtrl::SpinEditor() const {
  return spin_;
}

COptionTreeBrowseButton* COptionTreeCtrl::BrowseButton() const {
  return browse_;
}

COptionTreeDateCtrl* COptionTreeCtrl::DateTimeEditor() const {
  return date_;
}

COptionTreeIPAddressCtrl* COptionTreeCtrl::IPAddressEditor() const {
  return ip_;
}

bool COptionTreeCtrl::HasOpenEditor() const {
  return combo_ || edit_ || frame_ || spin_ || browse_ || date_ || ip_;
}

OptionLine COptionTreeCtrl::EditedLine() const {
  return ItemOf(edited_);
}

OptionLine COptionTreeCtrl::SelectedLine() const {
  return ItemOf(currentIndex());
}

void COptionTreeCtrl::SelectLine(OptionLine item) {
  setCurrentIndex(item != nullptr ? item->index() : QModelIndex());
}

QRect COptionTreeCtrl::LabelTextRect(OptionLine item) const {
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = visualRect(item->index());
  option.text = item->text();
  option.features |= QStyleOptionViewItem::HasDisplay;
  const QRect span = FindIconSpan(item);
  if (!span.isEmpty() || !item->data(Qt::DecorationRole).isNull()) {
    option.features |= QStyleOptionViewItem::HasDecoration;
  }
  const QRect text = style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
  const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
  return QRect(text.left(), text.top(), margin + fontMetrics().horizontalAdvance(item->text()),
               text.height());
}

void COptionTreeCtrl::OpenEditor(OptionLine item) {
  OptionItemData* record = Record(item);
  if (record == nullptr || record->editor_class == nullptr) {
    return;
  }
  CommitAndClose();
  edited_ = item->index();
  QWidget* editor = record->editor_class();
  if (auto* link = dynamic_cast<OptionEditorLink*>(editor)) {
    link->tree = this;
    link->line = item;
  }
  combo_ = qobject_cast<COptionTreeCombo*>(editor);
  edit_ = qobject_cast<COptionTreeEdit*>(editor);
  date_ = qobject_cast<COptionTreeDateCtrl*>(editor);
  ip_ = qobject_cast<COptionTreeIPAddressCtrl*>(editor);
  browse_ = qobject_cast<COptionTreeBrowseButton*>(editor);
  if (!HasOpenEditor()) {
    delete editor;
    edited_ = QPersistentModelIndex();
    return;
  }
  QString value;
  if (combo_ || edit_ || date_ || ip_) {
    const bool multi_line = edit_ && edit_->MultiLineStyle();
    value = multi_line ? record->full_text : GetValueText(item);
    opened_value_ = GetValueText(item);
    RemoveValueText(item);  // the line shows its label alone while the editor is open
    if (record->companion_class != nullptr) {
      QWidget* companion = record->companion_class();
      spin_ = qobject_cast<COptionTreeSpinCtrl*>(companion);
      browse_ = qobject_cast<COptionTreeBrowseButton*>(companion);
      if (auto* link = dynamic_cast<OptionEditorLink*>(companion)) {
        link->tree = this;
        link->line = item;
      }
      if (!spin_ && !browse_) {
        delete companion;
      }
    }
  }
  scrollTo(item->index());
  const QRect label = LabelTextRect(item);
  const QRect visual = visualRect(item->index());
  const QRect row(0, visual.top(), viewport()->width(), visual.height());
  const int browse_width = browse_ && browse_ != editor ? browse_->ButtonWidth() : 0;
  const int left = label.right() + 2;
  QRect rect(left, label.top(), row.right() - browse_width - left + 1, label.height());
  const QFont editor_font = font();
  editor->setFont(editor_font);

  if (combo_) {
    combo_->setParent(viewport());
    combo_->setEditable(combo_->EditableStyle());
    rect.setHeight(std::max(rect.height(), combo_->sizeHint().height()));
    if (combo_->isEditable()) {
      combo_->setEditText(value);
    } else {
      combo_->setCurrentIndex(combo_->findText(value));
    }
  } else if (edit_ && edit_->MultiLineStyle()) {
    rect.setHeight(edit_->HeightFor(label.height()));
    frame_ = new CMultiLineEditFrameWnd;
    frame_->setFont(editor_font);
    frame_->Edit()->setPlainText(value);
    frame_->setGeometry(QRect(viewport()->mapToGlobal(rect.topLeft()), rect.size()));
    delete edit_.data();  // the tree reaches the multi-line edit through its frame
    editor = frame_;
  } else if (edit_) {
    edit_->setParent(viewport());
    edit_->setReadOnly(edit_->ReadOnlyStyle());
    rect.setHeight(edit_->HeightFor(label.height()));
    edit_->setText(value);
  } else if (date_ || ip_) {
    editor->setParent(viewport());
    rect.setHeight(std::max(row.height(), editor->sizeHint().height()));
    if (date_) {
      date_->setDateTime(record->date_time.isValid() ? record->date_time
                                                     : QDateTime::currentDateTime());
    } else {
      ip_->SetAddress(record->ip_address);
    }
  } else {
    // The button is the editor: colour and font lines keep their text.
    rect = QRect(row.right() - browse_->ButtonWidth() + 1, label.top(), browse_->ButtonWidth(),
                 label.height());
    browse_->setParent(viewport());
    browse_->colour = record->colour;
    browse_->chosen_font = record->font;
  }
  if (editor != frame_) {
    editor->setGeometry(rect);
  }
  if (spin_) {
    CreateSpinCompanion();
  } else if (browse_ && browse_ != editor) {
    CreateBrowseCompanion(row, editor == frame_ ? rect : editor->geometry());
  }
  if (browse_) {
    browse_->setText(browse_->Caption());
    browse_->setFont(editor_font);
  }
  for (QWidget* widget :
       {static_cast<QWidget*>(combo_), static_cast<QWidget*>(edit_), static_cast<QWidget*>(frame_),
        static_cast<QWidget*>(spin_), static_cast<QWidget*>(browse_), static_cast<QWidget*>(date_),
        static_cast<QWidget*>(ip_)}) {
    if (widget != nullptr) {
      Watch(widget);
      widget->show();
    }
  }
  if (focus_editor_on_open_) {
    FocusEditor();
  }
}

void COptionTreeCtrl::CreateSpinCompanion() {
  // The up-down sits at the right end of its edit, as an up-down aligned to its buddy does.
  const QRect rect = edit_->geometry();
  const int width = std::max(16, rect.height() * 3 / 4);
  edit_->resize(rect.width() - width, rect.height());
  spin_->setParent(viewport());
  spin_->setGeometry(rect.right() - width + 1, rect.top(), width, rect.height());
  spin_->setFont(edit_->font());
  spin_->SetBuddy(edit_);
}

void COptionTreeCtrl::CreateBrowseCompanion(const QRect& row, const QRect& editor_rect) {
  const int width = browse_->ButtonWidth();
  browse_->setParent(viewport());
  browse_->setGeometry(row.right() - width + 1, row.top(), width,
                       std::max(editor_rect.bottom() + 1, row.bottom() + 1) - row.top());
  browse_->edit = edit_;
  browse_->combo = combo_;
  browse_->frame = frame_;
  if (edit_) {
    edit_->button = browse_;
  }
  if (combo_) {
    combo_->button = browse_;
  }
}

void COptionTreeCtrl::Watch(QWidget* editor) {
  editor->installEventFilter(this);
  for (QWidget* child : editor->findChildren<QWidget*>()) {
    child->installEventFilter(this);
  }
}

bool COptionTreeCtrl::OwnsWidget(const QWidget* widget) const {
  if (widget == nullptr) {
    return false;
  }
  for (const QWidget* editor :
       {static_cast<QWidget*>(combo_), static_cast<QWidget*>(edit_), static_cast<QWidget*>(frame_),
        static_cast<QWidget*>(spin_), static_cast<QWidget*>(browse_), static_cast<QWidget*>(date_),
        static_cast<QWidget*>(ip_)}) {
    if (editor != nullptr && (editor == widget || editor->isAncestorOf(widget))) {
      return true;
    }
  }
  return false;
}

void COptionTreeCtrl::CloseEditor() {
  const bool had_focus = OwnsWidget(QApplication::focusWidget());
  const QList<QPointer<QWidget>> editors = {combo_.data(), edit_.data(),   frame_.data(),
                                            spin_.data(),  browse_.data(), date_.data(),
                                            ip_.data()};
  // Forgotten first, so that the focus leaving them as they go is not taken for a commit.
  combo_ = nullptr;
  edit_ = nullptr;
  frame_ = nullptr;
  spin_ = nullptr;
  browse_ = nullptr;
  date_ = nullptr;
  ip_ = nullptr;
  edited_ = QPersistentModelIndex();
  if (had_focus) {
    setFocus(Qt::OtherFocusReason);
  }
  for (const QPointer<QWidget>& editor : editors) {
    if (editor) {
      editor->hide();
      editor->deleteLater();  // it may be the very widget whose event is being handled
    }
  }
}

void COptionTreeCtrl::CommitEditorValue(OptionLine item) {
  if (item == nullptr) {
    return;
  }
  quint32 address = 0;
  if (combo_) {
    SetValueText(item, combo_->currentText());
  } else if (edit_) {
    SetValueText(item, edit_->text());
  } else if (frame_) {
    SetMultiLineText(item, frame_->Edit()->toPlainText());
  } else if (date_ && date_->dateTime().isValid()) {
    SetDateTime(item, date_->dateTime());
  } else if (ip_ && ip_->GetAddress(address)) {
    SetIPAddress(item, address);
  } else if (date_ || ip_) {
    SetValueText(item, opened_value_);  // no valid value: the line keeps the one it had
  } else if (browse_ && IsColor(item)) {
    SetColor(item, browse_->colour);
  } else if (browse_ && IsFont(item)) {
    SetFontValue(item, browse_->chosen_font);
  }
}

void COptionTreeCtrl::EditorLostFocus() {
  CommitEditorValue(EditedLine());
  CloseEditor();
}

void COptionTreeCtrl::CommitAndClose() {
  if (HasOpenEditor()) {
    EditorLostFocus();
  }
}

void COptionTreeCtrl::FocusEditor() {
  for (QWidget* editor :
       {static_cast<QWidget*>(combo_), static_cast<QWidget*>(frame_), static_cast<QWidget*>(edit_),
        static_cast<QWidget*>(date_), static_cast<QWidget*>(ip_)}) {
    if (editor != nullptr) {
      editor->setFocus(Qt::OtherFocusReason);
      return;
    }
  }
}

void COptionTreeCtrl::ReopenEditor() {
  if (const OptionLine item = SelectedLine()) {
    CommitAndClose();
    OpenEditor(item);
  }
}

void COptionTreeCtrl::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTreeView::currentChanged(current, previous);
  if (deleting_) {
    return;
  }
  CommitAndClose();
  OpenEditor(ItemOf(current));
}

bool COptionTreeCtrl::ToggleHit(const QModelIndex& index, const QPoint& pos) const {
  return !icon_only_toggling_ || FindIconSpan(ItemOf(index)).contains(pos);
}

void COptionTreeCtrl::mousePressEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  const OptionLine item = ItemOf(index);
  const OptionItemData* record = Record(item);
  if (event->button() == Qt::LeftButton && record != nullptr && record->enabled &&
      ToggleHit(index, event->position().toPoint())) {
    if (record->kind == OptionItemKind::kCheckBox) {
      ToggleCheckBox(item, record->selected);
    } else if (record->kind == OptionItemKind::kRadio && !record->selected) {
      SelectRadioButton(item);
    }
  }
  QTreeView::mousePressEvent(event);
}

void COptionTreeCtrl::mouseReleaseEvent(QMouseEvent* event) {
  QTreeView::mouseReleaseEvent(event);
  const OptionLine item = ItemOf(indexAt(event->position().toPoint()));
  // A click on the selected line whose editor went away with the focus brings it back.
  if (item != nullptr && item == SelectedLine() && !HasOpenEditor()) {
    OpenEditor(item);
    if (focus_editor_on_open_) {
      QTimer::singleShot(0, this, &COptionTreeCtrl::FocusEditor);
    }
  }
  emit Clicked();
}

void COptionTreeCtrl::keyPressEvent(QKeyEvent* event) {
  const OptionLine item = SelectedLine();
  const OptionItemData* record = Record(item);
  if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && record != nullptr &&
      (record->kind == OptionItemKind::kCheckBox || record->kind == OptionItemKind::kRadio)) {
    if (record->enabled && record->kind == OptionItemKind::kCheckBox) {
      ToggleCheckBox(item, record->selected);
    } else if (record->enabled) {
      SelectRadioButton(item);
    }
    return;
  }
  if (event->key() == Qt::Key_Right && HasOpenEditor() && record != nullptr) {
    if (browse_ && !combo_ && !edit_ && !frame_ && !date_ && !ip_) {
      browse_->setFocus(Qt::OtherFocusReason);
    } else {
      FocusEditor();
    }
    return;
  }
  QTreeView::keyPressEvent(event);
}

void COptionTreeCtrl::focusOutEvent(QFocusEvent* event) {
  if (HasOpenEditor() && !IgnoredFocusLoss(event->reason()) &&
      !OwnsWidget(QApplication::focusWidget())) {
    EditorLostFocus();
  }
  QTreeView::focusOutEvent(event);
}

void COptionTreeCtrl::wheelEvent(QWheelEvent* event) {
  CommitAndClose();
  QTreeView::wheelEvent(event);
}

void COptionTreeCtrl::resizeEvent(QResizeEvent* event) {
  // An editor is placed for the width it opened at, so it goes first, as on a scroll.
  CommitAndClose();
  QTreeView::resizeEvent(event);
}

bool COptionTreeCtrl::eventFilter(QObject* watched, QEvent* event) {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || !OwnsWidget(widget)) {
    return QTreeView::eventFilter(watched, event);
  }
  if (event->type() == QEvent::FocusOut) {
    const auto* focus = static_cast<QFocusEvent*>(event);
    const bool browsing = edit_ && edit_->browsing;
    if (!IgnoredFocusLoss(focus->reason()) && !browsing &&
        !OwnsWidget(QApplication::focusWidget())) {
      EditorLostFocus();
    }
  } else if (event->type() == QEvent::KeyPress &&
             static_cast<QKeyEvent*>(event)->key() == Qt::Key_Tab) {
    // Tab stays with the line: from an edit to its "..." button, from anywhere else back to the
    // tree, which commits and closes the editor.
    if (browse_ && edit_ && (widget == edit_ || edit_->isAncestorOf(widget))) {
      browse_->setFocus(Qt::TabFocusReason);
    } else {
      setFocus(Qt::TabFocusReason);
    }
    return true;
  }
  return QTreeView::eventFilter(watched, event);
}

}  // namespace qs
