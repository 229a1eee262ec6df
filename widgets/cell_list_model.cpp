#include "widgets/cell_list_model.h"

#include <algorithm>

#include "widgets/image_list.h"

namespace qs {

namespace {

QVariant CheckVariant(int state) {
  return state == 1 ? QVariant(Qt::Checked) : QVariant(Qt::Unchecked);
}

QString ProgressLabel(const ListCellData& cell) {
  if (!cell.progressTextShown || cell.percent < 0) {
    return {};
  }
  const QByteArray format =
      cell.progressFormat.isEmpty() ? QByteArrayLiteral("%d%%") : cell.progressFormat.toUtf8();
  return QString::asprintf(format.constData(), cell.percent);
}

}  // namespace

int CellListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CellListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant CellListModel::data(const QModelIndex& index, int role) const {
  const ListCellData* cell = Cell(index.row(), index.column());
  if (cell == nullptr) {
    return {};
  }
  switch (role) {
    case Qt::DisplayRole:
      return cell->progressShown ? ProgressLabel(*cell) : cell->text;
    case Qt::CheckStateRole:
      return cell->checkState < 0 ? QVariant() : CheckVariant(cell->checkState);
    case Qt::DecorationRole:
      return images_ != nullptr && cell->image >= 0 ? QVariant(images_->Icon(cell->image))
                                                    : QVariant();
    case Qt::ToolTipRole:
      return cell->tipText.isEmpty() ? QVariant() : QVariant(cell->tipText);
    case Qt::TextAlignmentRole:
      return static_cast<int>(columns_[static_cast<std::size_t>(index.column())].alignment |
                              Qt::AlignVCenter);
    case kProgressRole:
      return cell->progressShown ? QVariant(cell->percent) : QVariant();
    default:
      return {};
  }
}

QVariant CellListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || !ValidColumn(section)) {
    return {};
  }
  const Column& column = columns_[section];
  if (role == Qt::DisplayRole) {
    return column.heading;
  }
  if (role == Qt::CheckStateRole && column.header_check != 0) {
    return CheckVariant(column.header_check - 1);
  }
  return {};
}

// A disabled row can be neither selected nor checked, and the style greys it.
Qt::ItemFlags CellListModel::flags(const QModelIndex& index) const {
  if (!IsRowEnabled(index.row())) {
    return Qt::ItemNeverHasChildren;
  }
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

bool CellListModel::InsertColumn(int column, const QString& heading, Qt::Alignment alignment) {
  if (column < 0 || column > columnCount()) {
    return false;
  }
  beginInsertColumns({}, column, column);
  columns_.insert(columns_.begin() + column, Column{heading, alignment});
  for (Row& row : rows_) {
    row.cells.insert(row.cells.begin() + column, ListCellData{});
  }
  endInsertColumns();
  return true;
}

bool CellListModel::InsertRow(int row) {
  if (row < 0 || row > rowCount()) {
    return false;
  }
  beginInsertRows({}, row, row);
  rows_.insert(rows_.begin() + row, Row{std::vector<ListCellData>(columns_.size()), true});
  endInsertRows();
  return true;
}

bool CellListModel::RemoveRow(int row) {
  if (!ValidRow(row)) {
    return false;
  }
  beginRemoveRows({}, row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
  return true;
}

void CellListModel::Clear() {
  beginResetModel();
  rows_.clear();
  endResetModel();
}

const ListCellData* CellListModel::Cell(int row, int column) const {
  if (!ValidRow(row) || !ValidColumn(column)) {
    return nullptr;
  }
  return &rows_[row].cells[column];
}

bool CellListModel::Change(int row, int column, const std::function<void(ListCellData&)>& edit) {
  if (Cell(row, column) == nullptr) {
    return false;
  }
  ListCellData& cell = rows_[row].cells[column];
  const ListCellData before = cell;
  edit(cell);
  if (!(cell == before)) {
    emit dataChanged(index(row, column), index(row, column));
  }
  return true;
}

bool CellListModel::IsRowEnabled(int row) const {
  return ValidRow(row) && rows_[row].enabled;
}

bool CellListModel::SetRowEnabled(int row, bool enabled) {
  if (!ValidRow(row)) {
    return false;
  }
  rows_[row].enabled = enabled;
  emit dataChanged(index(row, 0), index(row, columnCount() - 1));
  return true;
}

int CellListModel::HeaderCheck(int column) const {
  return ValidColumn(column) ? columns_[column].header_check : -1;
}

bool CellListModel::SetHeaderCheck(int column, int state) {
  if (!ValidColumn(column) || state < 0 || state > 2) {
    return false;
  }
  columns_[column].header_check = state;
  emit headerDataChanged(Qt::Horizontal, column, column);
  return true;
}

int CellListModel::CountChecked(int column) const {
  if (!ValidColumn(column)) {
    return 0;
  }
  return static_cast<int>(std::count_if(rows_.begin(), rows_.end(), [column](const Row& row) {
    return row.cells[column].checkState == 1;
  }));
}

void CellListModel::SetImageList(const ImageList* images) {
  beginResetModel();
  images_ = images;
  endResetModel();
}

}  // namespace qs
