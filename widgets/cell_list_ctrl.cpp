#include "widgets/cell_list_ctrl.h"

#include <QStyledItemDelegate>
#include <algorithm>

#include "widgets/cell_header_ctrl.h"
#include "widgets/cell_list_item.h"
#include "widgets/image_list.h"
#include "widgets/list_cell_data.h"

namespace qs {

// Every row is as tall as the text or a small image, whichever is taller, plus one pixel.
class CellRowHeightDelegate : public QStyledItemDelegate {
 public:
  explicit CellRowHeightDelegate(CCellListCtrl* list) : QStyledItemDelegate(list), list_(list) {}

  QSize sizeHint(const QStyleOptionViewItem& /*option*/,
                 const QModelIndex& /*index*/) const override {
    return QSize(0, list_->RowHeight());
  }

 private:
  CCellListCtrl* list_;
};

CCellListCtrl::CCellListCtrl(QWidget* parent)
    : QTreeWidget(parent), colours_(SysColours::FromPalette(palette())) {
  setColumnCount(0);
  setRootIsDecorated(false);
  setIndentation(0);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setItemDelegate(new CellRowHeightDelegate(this));
  AttachHeader();
}

CCellListCtrl::~CCellListCtrl() = default;

void CCellListCtrl::AttachHeader() {
  if (header_attached_) {
    return;
  }
  header_ = new CCellHeaderCtrl(this);
  setHeader(header_);
  // The view ties clickable sections to sorting, which this list never does.
  header_->setSectionsClickable(true);
  connect(header_, &QHeaderView::sectionClicked, this, &CCellListCtrl::OnColumnClick);
  header_attached_ = true;
}

int CCellListCtrl::InsertColumn(int column, const QString& heading, Qt::Alignment format,
                                int width) {
  if (column < 0) {
    return -1;
  }
  const int count = GetColumnCount();
  column = std::min(column, count);
  if (column < count && GetItemCount() > 0) {
    return -1;  // the rows' records and texts would no longer line up
  }
  // QTreeModel::insertColumns neither moves the header's data nor keeps rows intact, so the
  // column goes at the end and the header items right of `column` move over by hand.
  setColumnCount(count + 1);
  static constexpr int kHeaderRoles[] = {Qt::DisplayRole, Qt::TextAlignmentRole,
                                         CCellHeaderCtrl::kImageRole, CCellHeaderCtrl::kBitmapRole,
                                         CCellHeaderCtrl::kOwnerDrawRole};
  QTreeWidgetItem* header_item = headerItem();
  for (int moved = count; moved > column; --moved) {
    for (const int role : kHeaderRoles) {
      header_item->setData(moved, role, header_item->data(moved - 1, role));
    }
    header_->resizeSection(moved, header_->sectionSize(moved - 1));
  }
  for (const int role : kHeaderRoles) {
    header_item->setData(column, role, QVariant());
  }
  headerItem()->setText(column, heading);
  SetColumnFormat(column, format);
  if (width >= 0) {
    header_->resizeSection(column, width);
  }
  return column;
}

int CCellListCtrl::GetColumnCount() const {
  return header_->count();
}

void CCellListCtrl::SetColumnFormat(int column, Qt::Alignment format) {
  if (column >= 0 && column < GetColumnCount()) {
    headerItem()->setTextAlignment(column, format & Qt::AlignHorizontal_Mask);
  }
}

void CCellListCtrl::SetImageList(const ImageList* images) {
  images_ = images;
  header_->SetImageList(images);
  scheduleDelayedItemsLayout();
  viewport()->update();
}

void CCellListCtrl::SetFullRowSelect(bool on) {
  full_row_select_ = on;
  viewport()->update();
}

void CCellListCtrl::SetShowSelectionAlways(bool on) {
  show_selection_always_ = on;
  viewport()->update();
}

int CCellListCtrl::GetItemCount() const {
  return topLevelItemCount();
}

QString CCellListCtrl::GetItemText(int row, int column) const {
  const QTreeWidgetItem* item = topLevelItem(row);
  return item != nullptr ? item->text(column) : QString();
}

CellListItem* CCellListCtrl::Row(int row) const {
  if (row < 0 || row >= GetItemCount()) {
    return nullptr;
  }
  CellListItem* item = CellListItem::From(topLevelItem(row));
  return item != nullptr && !item->records.empty() ? item : nullptr;
}

ListCellData* CCellListCtrl::Cell(int row, int column) const {
  CellListItem* item = Row(row);
  if (item == nullptr || column < 0 || column >= GetColumnCount() ||
      column >= static_cast<int>(item->records.size())) {
    return nullptr;
  }
  return &item->records[static_cast<size_t>(column)];
}

ListCellData* CCellListCtrl::FirstRecord(int row) const {
  CellListItem* item = Row(row);
  return item != nullptr ? &item->records.front() : nullptr;
}

int CCellListCtrl::NewRow(int row, const QString& text, const QColor& text_colour,
                          const QColor& back_colour) {
  if (row < 0) {
    return -1;
  }
  auto* item = new CellListItem(GetColumnCount());
  for (ListCellData& record : item->records) {
    record.textColour = colours_.window_text;
    record.backColour = colours_.window;
  }
  if (!item->records.empty()) {
    item->records.front().textColour = text_colour;
    item->records.front().backColour = back_colour;
  }
  item->setText(0, text);
  row = std::min(row, GetItemCount());
  insertTopLevelItem(row, item);
  return row;
}

int CCellListCtrl::InsertRow(int row, const QString& text) {
  return NewRow(row, text, colours_.window_text, colours_.window);
}

int CCellListCtrl::InsertRow(int row, const QString& text, const QColor& text_colour,
                             const QColor& back_colour) {
  return NewRow(row, text, text_colour, back_colour);
}

int CCellListCtrl::InsertRow(const ListItemDescription& item) {
  const int row =
      NewRow(item.row, item.text.value_or(QString()), colours_.window_text, colours_.window);
  if (ListCellData* first = FirstRecord(row)) {
    first->image = item.image;
  }
  return row;
}

int CCellListCtrl::SetRowImage(const ListItemDescription& item) {
  if (item.row < 0) {
    return -1;
  }
  ListCellData* cell = Cell(item.row, item.column);
  if (cell == nullptr) {
    return 0;
  }
  if (item.text.has_value()) {
    topLevelItem(item.row)->setText(item.column, *item.text);
  }
  cell->image = item.image;
  RedrawCell(item.row, item.column);
  return 1;
}

bool CCellListCtrl::SetCellText(int row, int column, const QString& text) {
  if (Cell(row, column) == nullptr) {
    return false;
  }
  topLevelItem(row)->setText(column, text);
  RedrawCell(row, column);
  return true;
}

bool CCellListCtrl::SetCellText(int row, int column, const std::optional<QString>& text,
                                const std::optional<QColor>& text_colour,
                                const std::optional<QColor>& back_colour) {
  ListCellData* cell = Cell(row, column);
  if (cell == nullptr) {
    return false;
  }
  cell->textColour = text_colour.value_or(colours_.window_text);
  cell->backColour = back_colour.value_or(colours_.window);
  if (text.has_value()) {
    topLevelItem(row)->setText(column, *text);
  }
  RedrawCell(row, column);
  return true;
}

bool CCellListCtrl::SetCellImage(int row, int column, int image) {
  ListCellData* cell = Cell(row, column);
  if (cell == nullptr) {
    return false;
  }
  cell->image = image;
  RedrawCell(row, column);
  return true;
}

bool CCellListCtrl::DeleteRow(int row) {
  if (Row(row) == nullptr) {
    return false;
  }
  delete takeTopLevelItem(row);
  return true;
}

void CCellListCtrl::DeleteAllRows() {
  clear();
}

bool CCellListCtrl::SetCheckState(int row, int column, int state) {
  ListCellData* cell = Cell(row, column);
  if (cell == nullptr) {
    return false;
  }
  cell->checkState = state;
  RedrawCell(row, column);
  SyncHeaderCheck(column);
  return true;
}

int CCellListCtrl::GetCheckState(int row, int column) const {
  const ListCellData* cell = Cell(row, column);
  return cell != nullptr ? cell->checkState : -1;
}

void CCellListCtrl::SyncHeaderCheck(int column) {
  if (GetHeaderCheck(column) > 0) {
    SetHeaderCheck(column, CountChecked(column) == GetItemCount() ? 2 : 1);
  }
}

bool CCellListCtrl::ShowProgress(int row, int column, bool text_shown, const QString& format) {
  ListCellData* cell = Cell(row, column);
  if (cell == nullptr) {
    return false;
  }
  cell->progressShown = true;
  cell->percent = 0;
  cell->progressTextShown = text_shown;
  cell->progressFormat = format;
  RedrawCell(row, column);
  return true;
}

void CCellListCtrl::HideProgress(int row, int column) {
  if (ListCellData* cell = Cell(row, column)) {
    cell->progressShown = false;
    cell->percent = 0;
    RedrawCell(row, column);
  }
}

void CCellListCtrl::SetProgressPercent(int row, int column, int percent) {
  ListCellData* cell = Cell(row, column);
  if (cell != nullptr && cell->percent != percent) {
    cell->percent = percent;
    RedrawCell(row, column);
  }
}

int CCellListCtrl::GetProgressPercent(int row, int column) const {
  const ListCellData* cell = Cell(row, column);
  return cell != nullptr ? cell->percent : 0;
}

bool CCellListCtrl::EnableRow(int row, bool enable) {
  ListCellData* first = FirstRecord(row);
  if (first == nullptr) {
    return false;
  }
  first->enabled = enable;
  QRect rect = visualRect(model()->index(row, 0));
  viewport()->update(QRect(0, rect.top(), viewport()->width(), rect.height()));
  return true;
}

bool CCellListCtrl::IsRowEnabled(int row) const {
  const ListCellData* first = FirstRecord(row);
  return first != nullptr && first->enabled;
}

bool CCellListCtrl::SetCellBold(int row, int column, bool bold) {
  ListCellData* cell = Cell(row, column);
  if (cell == nullptr) {
    return false;
  }
  cell->bold = bold;
  RedrawCell(row, column);
  return true;
}

bool CCellListCtrl::IsCellBold(int row, int column) const {
  const ListCellData* cell = Cell(row, column);
  return cell != nullptr && cell->bold;
}

bool CCellListCtrl::SetCellTip(int row, int column, const QString& text) {
  ListCellData* cell = Cell(row, column);
  if (cell == nullptr) {
    return false;
  }
  cell->tipText = text;
  return true;
}

QString CCellListCtrl::GetCellTip(int row, int column) const {
  const ListCellData* cell = Cell(row, column);
  return cell != nullptr ? cell->tipText : QString();
}

void CCellListCtrl::ClearAllTips() {
  for (int row = 0; row < GetItemCount(); ++row) {
    if (CellListItem* item = Row(row)) {
      for (ListCellData& record : item->records) {
        record.tipText.clear();
      }
    }
  }
}

bool CCellListCtrl::SelectRow(int row) {
  if (row < 0 || row >= GetItemCount()) {
    return false;
  }
  selectionModel()->setCurrentIndex(model()->index(row, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
  return true;
}

int CCellListCtrl::GetSelectedRow() const {
  for (int row = 0; row < GetItemCount(); ++row) {
    if (IsRowSelected(row)) {
      return row;
    }
  }
  return -1;
}

bool CCellListCtrl::IsRowSelected(int row) const {
  return selectionModel()->isSelected(model()->index(row, 0));
}

bool CCellListCtrl::SetUserData(int row, std::uint32_t value) {
  ListCellData* first = FirstRecord(row);
  if (first == nullptr) {
    return false;
  }
  first->userData = value;
  return true;
}

std::uint32_t CCellListCtrl::GetUserData(int row) const {
  const ListCellData* first = FirstRecord(row);
  return first != nullptr ? first->userData : 0;
}

int CCellListCtrl::GetHeaderCheck(int column) const {
  if (column < 0 || column >= GetColumnCount()) {
    return -1;
  }
  return header_->GetItemImage(column);
}

bool CCellListCtrl::SetHeaderCheck(int column, int image) {
  return header_->SetItemImage(column, image);
}

int CCellListCtrl::CountChecked(int column) const {
  int checked = 0;
  for (int row = 0; row < GetItemCount(); ++row) {
    const ListCellData* cell = Cell(row, column);
    if (cell != nullptr && cell->checkState == 1) {
      ++checked;
    }
  }
  return checked;
}

void CCellListCtrl::OnColumnClick(int column) {
  const int image = GetHeaderCheck(column);
  if (image <= 0) {
    return;
  }
  SetHeaderCheck(column, image == 1 ? 2 : 1);
  const int state = image == 1 ? 1 : 0;
  for (int row = 0; row < GetItemCount(); ++row) {
    ListCellData* cell = Cell(row, column);
    if (cell != nullptr && cell->checkState != -1) {
      cell->checkState = state;
      RedrawCell(row, column);
    }
  }
}

}  // namespace qs
