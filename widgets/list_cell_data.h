// What CCellListCtrl keeps for every cell: its text and the kind of cell it is (plain, check
// box, progress bar or choice). The list's model holds one per cell.
#pragma once

#include <QString>
#include <QStringList>

namespace qs {

struct ListCellData {
  QString text;
  int image = -1;  // index into the list's image list, shown before the text; -1 none
  QString tipText;
  int checkState = -1;  // -1 no check box, 0 unchecked, 1 checked

  bool progressShown = false;
  int percent = 0;         // a negative value shows no bar and no label
  QString progressFormat;  // printf-style with the percentage as its one argument; empty: "%d%%"
  bool progressTextShown = true;

  // Choice cells. `choices` belongs to the caller and must outlive the cell.
  bool comboEnabled = false;
  const QStringList* choices = nullptr;
  int dropRows = 10;
  int initialChoice = 0;

  bool operator==(const ListCellData&) const = default;
};

}  // namespace qs
