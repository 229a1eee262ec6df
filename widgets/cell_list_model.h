// The rows of a CCellListCtrl as a table model: one ListCellData per cell, shown through the
// item roles (text, check state, icon, tooltip, alignment, progress), whether each row is
// enabled, and each column's header check box. GUI thread only.
#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <vector>

#include "widgets/list_cell_data.h"

namespace qs {

class ImageList;

class CellListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // A progress cell's percentage (int); absent for every other cell. Its Qt::DisplayRole is
  // the label ("42%"), empty when the label is hidden or the percentage is negative.
  static constexpr int kProgressRole = Qt::UserRole + 1;

  explicit CellListModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  bool InsertColumn(int column, const QString& heading, Qt::Alignment alignment);
  bool InsertRow(int row);
  bool RemoveRow(int row);
  void Clear();

  // Null for a row or column that does not exist.
  const ListCellData* Cell(int row, int column) const;
  // Applies `edit` to the cell; the view repaints that cell only, and only when it changed.
  // False for a row or column that does not exist.
  bool Change(int row, int column, const std::function<void(ListCellData&)>& edit);
  template <class T>
  bool Set(int row, int column, T ListCellData::*field, const T& value) {
    return Change(row, column, [&](ListCellData& cell) { cell.*field = value; });
  }
  // The field of the cell, or `fallback` for a cell that does not exist.
  template <class T>
  T Get(int row, int column, T ListCellData::*field, const T& fallback) const {
    const ListCellData* cell = Cell(row, column);
    return cell != nullptr ? cell->*field : fallback;
  }

  bool IsRowEnabled(int row) const;
  bool SetRowEnabled(int row, bool enabled);

  // The header check box: 0 none, 1 not every row checked, 2 every row checked; -1 for a bad
  // column. Shown as the header's Qt::CheckStateRole.
  int HeaderCheck(int column) const;
  bool SetHeaderCheck(int column, int state);
  int CountChecked(int column) const;

  void SetImageList(const ImageList* images);

 private:
  struct Column {
    QString heading;
    Qt::Alignment alignment;
    int header_check = 0;
  };
  struct Row {
    std::vector<ListCellData> cells;
    bool enabled = true;
  };

  bool ValidColumn(int column) const {
    return column >= 0 && column < static_cast<int>(columns_.size());
  }
  bool ValidRow(int row) const { return row >= 0 && row < static_cast<int>(rows_.size()); }

  std::vector<Column> columns_;
  std::vector<Row> rows_;
  const ImageList* images_ = nullptr;
};

}  // namespace qs
