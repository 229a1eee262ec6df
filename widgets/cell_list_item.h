// A row of CCellListCtrl: the platform item plus the row's cell records. A row that is not
// of this type (or whose records are empty) is a row without records.
#pragma once

#include <QTreeWidgetItem>
#include <algorithm>
#include <vector>

#include "widgets/list_cell_data.h"

namespace qs {

class CellListItem : public QTreeWidgetItem {
 public:
  static constexpr int kType = QTreeWidgetItem::UserType + 0x51;

  explicit CellListItem(int columns)
      : QTreeWidgetItem(kType), records(static_cast<size_t>(std::max(columns, 0))) {}

  // Null for rows without records.
  static CellListItem* From(QTreeWidgetItem* item) {
    return item != nullptr && item->type() == kType ? static_cast<CellListItem*>(item) : nullptr;
  }
  static const CellListItem* From(const QTreeWidgetItem* item) {
    return item != nullptr && item->type() == kType ? static_cast<const CellListItem*>(item)
                                                    : nullptr;
  }

  std::vector<ListCellData> records;
};

}  // namespace qs
