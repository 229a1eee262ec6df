#include "settings_ui/option_tree_ctrl.h"

#include <QHeaderView>
#include <QIcon>
#include <QScrollBar>

#include "settings_ui/option_tree_delegate.h"
#include "settings_ui/option_tree_editors.h"

namespace qs {

OptionTreeLine::OptionTreeLine(const QString& text, int image_index)
    : QStandardItem(text), image(image_index) {
  setEditable(false);
}

QVariant OptionTreeLine::data(int role) const {
  if (role == Qt::DecorationRole && image >= 0 && model() != nullptr) {
    const QIcon icon = static_cast<const OptionTreeModel*>(model())->Image(image);
    return icon.isNull() ? QVariant() : QVariant(icon);
  }
  return QStandardItem::data(role);
}

void OptionTreeModel::SetImageList(const QList<QIcon>& images) {
  images_ = images;
  emit layoutChanged();
}

QIcon OptionTreeModel::Image(int index) const {
  return index >= 0 && index < images_.size() ? images_[index] : QIcon();
}

COptionTreeCtrl::COptionTreeCtrl(QWidget* parent)
    : QTreeView(parent), model_(new OptionTreeModel(this)) {
  setModel(model_);
  setItemDelegate(new OptionTreeDelegate(this));
  setHeaderHidden(true);
  setRootIsDecorated(false);  // no lines, no buttons
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setIconSize(QSize(16, 19));
  header()->setStretchLastSection(true);
  // Scrolling moves the lines away from an open editor, so the editor goes first.
  for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()}) {
    connect(bar, &QScrollBar::valueChanged, this, &COptionTreeCtrl::CommitAndClose);
  }
  connect(this, &QTreeView::expanded, this, &COptionTreeCtrl::CommitAndClose);
  connect(this, &QTreeView::collapsed, this, &COptionTreeCtrl::CommitAndClose);
}

COptionTreeCtrl::~COptionTreeCtrl() {
  deleting_ = true;
  CloseEditor();
}

void COptionTreeCtrl::SetImageList(const QList<QIcon>& images) {
  model_->SetImageList(images);
}

OptionLine COptionTreeCtrl::Insert(std::unique_ptr<OptionTreeLine> line, OptionLine parent,
                                   OptionLine after) {
  QStandardItem* owner = parent != nullptr ? parent : model_->invisibleRootItem();
  // A top-level line's parent() is null, as is the root's handle here.
  const int row =
      after != nullptr && after->parent() == parent ? after->row() + 1 : owner->rowCount();
  OptionTreeLine* item = line.release();
  owner->insertRow(row, item);
  return item;
}

OptionLine COptionTreeCtrl::InsertItem(const QString& text, int image, OptionLine parent,
                                       OptionLine after) {
  return Insert(std::make_unique<OptionTreeLine>(text, image), parent, after);
}

OptionItemData& COptionTreeCtrl::NewRecord(OptionLine item, OptionItemKind kind,
                                           OptionEditorClass editor, quintptr user_data) {
  auto& record = static_cast<OptionTreeLine*>(item)->record;
  record = std::make_unique<OptionItemData>();
  record->kind = kind;
  record->editor_class = editor;
  record->user_data = user_data;
  return *record;
}

OptionLine COptionTreeCtrl::InsertGroupItem(const QString& text, int image, OptionLine parent,
                                            OptionLine after, quintptr user_data) {
  const OptionLine item = InsertItem(text, image, parent, after);
  NewRecord(item, OptionItemKind::kGroup, nullptr, user_data);
  return item;
}

OptionLine COptionTreeCtrl::InsertCheckBoxItem(const QString& text, OptionLine parent, bool ticked,
                                               OptionLine after, quintptr user_data) {
  const OptionLine item = InsertItem(text, -1, parent, after);
  NewRecord(item, OptionItemKind::kCheckBox, nullptr, user_data);
  SetCheckState(item, ticked);
  return item;
}

OptionLine COptionTreeCtrl::InsertRadioItem(const QString& text, OptionLine parent, bool chosen,
                                            OptionLine after, quintptr user_data) {
  const OptionLine item = InsertItem(text, -1, parent, after);
  NewRecord(item, OptionItemKind::kRadio, nullptr, user_data);
  if (chosen) {
    SelectRadioButton(item);
  }
  return item;
}

void COptionTreeCtrl::AttachComboBox(OptionLine item, OptionEditorClass combo_class,
                                     quintptr user_data) {
  NewRecord(item, OptionItemKind::kCombo, combo_class, user_data);
}

void COptionTreeCtrl::AttachEditBox(OptionLine item, OptionEditorClass edit_class,
                                    quintptr user_data) {
  NewRecord(item, OptionItemKind::kEdit, edit_class, user_data);
}

void COptionTreeCtrl::AttachSpinEditBox(OptionLine item, OptionEditorClass edit_class,
                                        OptionEditorClass spin_class, quintptr user_data) {
  NewRecord(item, OptionItemKind::kSpinEdit, edit_class, user_data).companion_class = spin_class;
}

void COptionTreeCtrl::AttachBrowseEditBox(OptionLine item, OptionEditorClass edit_class,
                                          OptionEditorClass button_class, quintptr user_data) {
  NewRecord(item, OptionItemKind::kFileBrowse, edit_class, user_data).companion_class =
      button_class;
}

void COptionTreeCtrl::AttachFolderBrowseEditBox(OptionLine item, OptionEditorClass edit_class,
                                                OptionEditorClass button_class,
                                                quintptr user_data) {
  NewRecord(item, OptionItemKind::kFolderBrowse, edit_class, user_data).companion_class =
      button_class;
}

void COptionTreeCtrl::AttachColorBrowser(OptionLine item, OptionEditorClass button_class,
                                         bool show_colour, quintptr user_data) {
  NewRecord(item, OptionItemKind::kColour, button_class, user_data).show_colour = show_colour;
}

void COptionTreeCtrl::AttachFontBrowser(OptionLine item, OptionEditorClass button_class,
                                        quintptr user_data) {
  NewRecord(item, OptionItemKind::kFont, button_class, user_data);
}

void COptionTreeCtrl::AttachDateTimeCtrl(OptionLine item, OptionEditorClass date_class,
                                         quintptr user_data) {
  NewRecord(item, OptionItemKind::kDateTime, date_class, user_data);
}

void COptionTreeCtrl::AttachIPAddressCtrl(OptionLine item, OptionEditorClass ip_class,
                                          quintptr user_data) {
  NewRecord(item, OptionItemKind::kIPAddress, ip_class, user_data);
}

void COptionTreeCtrl::AttachComboBrowser(OptionLine item, OptionEditorClass combo_class,
                                         OptionEditorClass button_class, quintptr user_data) {
  NewRecord(item, OptionItemKind::kComboBrowse, combo_class, user_data).companion_class =
      button_class;
}

OptionItemData* COptionTreeCtrl::Record(OptionLine item) const {
  if (item == nullptr || item->type() != OptionTreeLine::kType) {
    return nullptr;
  }
  return static_cast<OptionTreeLine*>(item)->record.get();
}

OptionLine COptionTreeCtrl::ItemOf(const QModelIndex& index) const {
  return index.isValid() ? model_->itemFromIndex(index) : nullptr;
}

OptionItemKind COptionTreeCtrl::KindOf(OptionLine item) const {
  const OptionItemData* record = Record(item);
  return record != nullptr ? record->kind : OptionItemKind::kPlain;
}

void COptionTreeCtrl::SetValueText(OptionLine item, const QString& text) {
  const QString line = item->text();
  const qsizetype separator = line.indexOf(kSeparator);
  item->setText(separator < 0 ? line + kSeparator + text
                              : line.left(separator + kSeparator.size()) + text);
}

QString COptionTreeCtrl::GetValueText(OptionLine item) const {
  const QString line = item->text();
  const qsizetype separator = line.indexOf(kSeparator);
  return separator < 0 ? QString() : line.mid(separator + kSeparator.size());
}

void COptionTreeCtrl::RemoveValueText(OptionLine item) {
  const qsizetype separator = item->text().indexOf(kSeparator);
  if (separator >= 0) {
    item->setText(item->text().left(separator));
  }
}

void COptionTreeCtrl::SetColor(OptionLine item, const QColor& colour) {
  if (OptionItemData* record = Record(item)) {
    record->colour = colour;
    SetValueText(item, QStringLiteral("&%1%2%3")
                           .arg(colour.red(), 2, 16, QLatin1Char('0'))
                           .arg(colour.green(), 2, 16, QLatin1Char('0'))
                           .arg(colour.blue(), 2, 16, QLatin1Char('0'))
                           .toUpper());
  }
}

QColor COptionTreeCtrl::GetColor(OptionLine item) const {
  const OptionItemData* record = Record(item);
  return record != nullptr ? record->colour : QColor();
}

void COptionTreeCtrl::SetFontValue(OptionLine item, const QFont& font) {
  if (OptionItemData* record = Record(item)) {
    record->font = font;
    SetValueText(item, font.family());
  }
}

QFont COptionTreeCtrl::GetFontValue(OptionLine item) const {
  const OptionItemData* record = Record(item);
  return record != nullptr ? record->font : QFont();
}

// The typed setters format through a temporary editor of the line's own class, so that a
// subclass's format is the one the line shows.
void COptionTreeCtrl::SetDateTime(OptionLine item, const QDateTime& value) {
  OptionItemData* record = Record(item);
  if (record == nullptr || record->editor_class == nullptr) {
    return;
  }
  record->date_time = value;
  const std::unique_ptr<QWidget> editor(record->editor_class());
  if (auto* date = qobject_cast<COptionTreeDateCtrl*>(editor.get())) {
    SetValueText(item, date->FormatValue(value));
  }
}

QDateTime COptionTreeCtrl::GetDateTime(OptionLine item) const {
  const OptionItemData* record = Record(item);
  return record != nullptr ? record->date_time : QDateTime();
}

void COptionTreeCtrl::SetIPAddress(OptionLine item, quint32 address) {
  OptionItemData* record = Record(item);
  if (record == nullptr || record->editor_class == nullptr) {
    return;
  }
  record->ip_address = address;
  const std::unique_ptr<QWidget> editor(record->editor_class());
  if (auto* ip = qobject_cast<COptionTreeIPAddressCtrl*>(editor.get())) {
    SetValueText(item, ip->FormatAddress(address));
  }
}

quint32 COptionTreeCtrl::GetIPAddress(OptionLine item) const {
  const OptionItemData* record = Record(item);
  return record != nullptr ? record->ip_address : 0;
}

void COptionTreeCtrl::SetMultiLineText(OptionLine item, const QString& text) {
  OptionItemData* record = Record(item);
  if (record == nullptr || record->editor_class == nullptr) {
    return;
  }
  record->full_text = text;
  const std::unique_ptr<QWidget> editor(record->editor_class());
  if (auto* edit = qobject_cast<COptionTreeEdit*>(editor.get())) {
    SetValueText(item, edit->DisplayText(text));
  }
}

QString COptionTreeCtrl::GetMultiLineText(OptionLine item) const {
  const OptionItemData* record = Record(item);
  return record != nullptr ? record->full_text : QString();
}

quintptr COptionTreeCtrl::GetItemUserData(OptionLine item) const {
  const OptionItemData* record = Record(item);
  return record != nullptr ? record->user_data : 0;
}

void COptionTreeCtrl::SetItemUserData(OptionLine item, quintptr data) {
  if (OptionItemData* record = Record(item)) {
    record->user_data = data;
  }
}

void COptionTreeCtrl::EnableThemedDrawing(bool themed) {
  themed_drawing_ = themed;
  viewport()->update();
}

void COptionTreeCtrl::Invalidate(OptionLine item) {
  const QModelIndex index = item->index();
  emit model_->dataChanged(index, index);
}

void COptionTreeCtrl::DeleteAllOptions() {
  // An open editor is left alone: a caller that may have one open closes it first.
  deleting_ = true;
  edited_ = QPersistentModelIndex();
  if (model_->rowCount() > 0) {
    FreeRecordsOfLevel(model_->item(0));
  }
  deleting_ = false;
  model_->clear();
}

void COptionTreeCtrl::FreeRecordsOfLevel(OptionLine first) {
  QStandardItem* owner = first->parent() != nullptr ? first->parent() : model_->invisibleRootItem();
  const int start = first->row();
  while (owner->rowCount() > start) {
    QStandardItem* item = owner->child(start);
    if (item->rowCount() > 0) {
      FreeRecordsOfLevel(item->child(0));
    }
    owner->removeRow(start);  // the record goes with its line
  }
}

bool COptionTreeCtrl::SetCheckState(OptionLine item, bool ticked) {
  OptionItemData* record = Record(item);
  if (record == nullptr || record->kind != OptionItemKind::kCheckBox) {
    return false;
  }
  record->selected = ticked;
  Invalidate(item);
  return true;
}

bool COptionTreeCtrl::GetCheckState(OptionLine item, bool& ticked) const {
  const OptionItemData* record = Record(item);
  if (record == nullptr || record->kind != OptionItemKind::kCheckBox) {
    return false;
  }
  ticked = record->selected;
  return true;
}

QList<OptionLine> COptionTreeCtrl::RadioRun(OptionLine parent) const {
  QList<OptionLine> run;
  QStandardItem* owner = parent != nullptr ? parent : model_->invisibleRootItem();
  for (int row = 0; row < owner->rowCount() && IsRadioButton(owner->child(row)); ++row) {
    run.append(owner->child(row));
  }
  return run;
}

void COptionTreeCtrl::SelectRadioButton(OptionLine item) {
  if (!IsRadioButton(item)) {
    return;
  }
  for (const OptionLine radio : RadioRun(item->parent())) {
    Record(radio)->selected = radio == item;
    Invalidate(radio);
  }
  Record(item)->selected = true;  // also when it stands outside the leading run
}

void COptionTreeCtrl::SelectRadioButtonByIndex(OptionLine parent, int index) {
  const QList<OptionLine> run = RadioRun(parent);
  if (index >= 0 && index < run.size()) {
    SelectRadioButton(run[index]);
  }
}

bool COptionTreeCtrl::GetRadioButton(OptionLine item, bool& chosen) const {
  if (!IsRadioButton(item)) {
    return false;
  }
  chosen = Record(item)->selected;
  return true;
}

bool COptionTreeCtrl::GetChosenRadio(OptionLine parent, int& index, OptionLine& chosen) const {
  const QList<OptionLine> run = RadioRun(parent);
  for (int i = 0; i < run.size(); ++i) {
    if (Record(run[i])->selected) {
      index = i;
      chosen = run[i];
      return true;
    }
  }
  index = -1;
  chosen = nullptr;
  return false;
}

void COptionTreeCtrl::EnableGroup(OptionLine parent, bool enabled) {
  for (int row = 0; row < parent->rowCount(); ++row) {
    if (OptionItemData* record = Record(parent->child(row))) {
      record->enabled = enabled;
      Invalidate(parent->child(row));
    }
  }
}

bool COptionTreeCtrl::EnableCheckBox(OptionLine item, bool enabled) {
  if (!IsCheckBox(item)) {
    return false;
  }
  Record(item)->enabled = enabled;
  Invalidate(item);
  return true;
}

bool COptionTreeCtrl::EnableRadioButton(OptionLine item, bool enabled) {
  if (!IsRadioButton(item)) {
    return false;
  }
  Record(item)->enabled = enabled;
  Invalidate(item);
  return true;
}

bool COptionTreeCtrl::GetRadioButtonEnabled(OptionLine item, bool& enabled) const {
  if (!IsRadioButton(item)) {
    return false;
  }
  enabled = Record(item)->enabled;
  return true;
}

bool COptionTreeCtrl::GetCheckBoxEnabled(OptionLine item, bool& enabled) const {
  if (!IsCheckBox(item)) {
    return false;
  }
  enabled = Record(item)->enabled;
  return true;
}

bool COptionTreeCtrl::SetCheckBoxShaded(OptionLine item, bool shaded) {
  if (!IsCheckBox(item)) {
    return false;
  }
  Record(item)->shaded = shaded;
  Invalidate(item);
  return true;
}

bool COptionTreeCtrl::GetRadioButtonShaded(OptionLine item, bool& shaded) const {
  if (!IsRadioButton(item)) {
    return false;
  }
  shaded = Record(item)->shaded;
  return true;
}

OptionLine COptionTreeCtrl::CopyItem(OptionLine item, OptionLine new_parent, OptionLine after) {
  const auto* source = static_cast<OptionTreeLine*>(item);
  auto copy = std::make_unique<OptionTreeLine>(item->text(), source->image);
  if (source->record != nullptr) {
    copy->record = std::make_unique<OptionItemData>(*source->record);
  }
  return Insert(std::move(copy), new_parent, after);
}

OptionLine COptionTreeCtrl::CopyBranch(OptionLine item, OptionLine new_parent, OptionLine after) {
  const OptionLine copy = CopyItem(item, new_parent, after);
  for (int row = 0; row < item->rowCount(); ++row) {
    CopyBranch(item->child(row), copy, nullptr);
  }
  return copy;
}

void COptionTreeCtrl::ToggleCheckBox(OptionLine item, bool current) {
  setUpdatesEnabled(false);
  SetCheckState(item, !current);
  setUpdatesEnabled(true);
}

QRect COptionTreeCtrl::FindIconSpan(OptionLine item) const {
  return static_cast<const OptionTreeDelegate*>(itemDelegate())
      ->IconSpan(*this, item->index(), visualRect(item->index()));
}

QRect COptionTreeCtrl::BoxRect(const QRect& span) {
  return QRect(span.left() + span.width() / 2 - 8, span.top() + span.height() / 2 - 8, 16, 16);
}

}  // namespace qs
