// The record that CCellListCtrl keeps for every cell: what kind of cell it is and how it is
// drawn. A row's records are made when the row is inserted, one per column at that moment.
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace qs {

struct ListCellData {
  bool enabled = true;  // consulted on the row's first record only
  bool bold = false;
  int image = -1;  // image-list index before the text; -1 none
  QString tipText;

  // Choice cells. `choices` belongs to the caller and must outlive the cell.
  bool comboEnabled = false;
  bool dropButtonDown = false;
  const QStringList* choices = nullptr;
  int dropRows = 10;
  int initialChoice = 0;

  QColor textColour;  // set from the list's window text colour when the row is made
  QColor backColour;  // set from the list's window colour when the row is made

  bool progressShown = false;
  int percent = 0;         // a negative value draws no bar
  QString progressFormat;  // empty: "%d%%"
  bool progressTextShown = true;

  int checkState = -1;         // -1 no check box, 0 unchecked, 1 checked
  std::uint32_t userData = 0;  // first record only
};

}  // namespace qs
