// The watch list's report view: a list that draws every cell itself from a record kept per
// cell, for check-box, progress and image-and-text cells, disabled rows, bold cells, cell
// tooltips, a header check box that mirrors a column, and a message in the empty list.
// GUI thread only.
#pragma once

#include <QColor>
#include <QString>
#include <QTreeWidget>
#include <cstdint>
#include <optional>

#include "widgets/sys_colours.h"

namespace qs {

class CCellHeaderCtrl;
class CellListItem;
class ImageList;
struct CellColours;
struct ListCellData;

// A row or cell as callers describe it to the list (the platform's item description).
struct ListItemDescription {
  int row = -1;
  int column = 0;
  std::optional<QString> text;
  int image = -1;
};

class CCellListCtrl : public QTreeWidget {
  Q_OBJECT

 public:
  static inline const QString kEmptyMessage =
      QStringLiteral("There are no items to show in this view.");

  explicit CCellListCtrl(QWidget* parent = nullptr);
  ~CCellListCtrl() override;

  // Columns go in before rows: a row gets records for the columns that exist when it is made.
  // Once there are rows, a column can only be added at the end. Answers the index or -1.
  int InsertColumn(int column, const QString& heading, Qt::Alignment format = Qt::AlignLeft,
                   int width = -1);
  int GetColumnCount() const;
  // Left, centre or right; decides the alignment of the column's text cells.
  void SetColumnFormat(int column, Qt::Alignment format);
  // The small image list, shared with the header. Not owned.
  void SetImageList(const ImageList* images);
  const ImageList* GetImageList() const { return images_; }
  void SetFullRowSelect(bool on);
  void SetShowSelectionAlways(bool on);
  CCellHeaderCtrl* Header() const { return header_; }

  int GetItemCount() const;
  QString GetItemText(int row, int column) const;

  // Each answers the new row's index, or -1.
  int InsertRow(int row, const QString& text);
  int InsertRow(int row, const QString& text, const QColor& text_colour, const QColor& back_colour);
  int InsertRow(const ListItemDescription& item);
  // 1 done, 0 bad row or column, -1 negative row.
  int SetRowImage(const ListItemDescription& item);

  bool SetCellText(int row, int column, const QString& text);
  // An absent text leaves the text; an absent colour takes the window text or window colour.
  bool SetCellText(int row, int column, const std::optional<QString>& text,
                   const std::optional<QColor>& text_colour,
                   const std::optional<QColor>& back_colour);
  bool SetCellImage(int row, int column, int image);
  bool DeleteRow(int row);
  void DeleteAllRows();

  // -1 no check box, 0 unchecked, 1 checked. Keeps the column's header check box in step.
  bool SetCheckState(int row, int column, int state);
  int GetCheckState(int row, int column) const;

  bool ShowProgress(int row, int column, bool text_shown = true, const QString& format = {});
  void HideProgress(int row, int column);
  // Stores and repaints the one cell only when the value changes; no clamping.
  void SetProgressPercent(int row, int column, int percent);
  int GetProgressPercent(int row, int column) const;

  bool EnableRow(int row, bool enable);
  bool IsRowEnabled(int row) const;
  bool SetCellBold(int row, int column, bool bold);
  bool IsCellBold(int row, int column) const;
  bool SetCellTip(int row, int column, const QString& text);
  QString GetCellTip(int row, int column) const;
  void ClearAllTips();

  bool SelectRow(int row);
  int GetSelectedRow() const;
  bool SetUserData(int row, std::uint32_t value);
  std::uint32_t GetUserData(int row) const;

  void RedrawCell(int row, int column);
  // Viewport coordinates; column 0 ends where column 1 begins.
  bool GetCellRect(int row, int column, QRect* rect) const;

  // The header item's image: 0 none, 1 not every row checked, 2 every row checked; -1 for a
  // bad column.
  int GetHeaderCheck(int column) const;
  bool SetHeaderCheck(int column, int image);
  int CountChecked(int column) const;

  // What a tooltip at `pos` (viewport coordinates) shows: the cell's tip, cut to 79
  // characters; empty for no tooltip.
  QString OnToolTipText(const QPoint& pos) const;

  const SysColours& Colours() const { return colours_; }

 signals:
  // A click toggled a check cell; the new state is already stored. Emitted synchronously.
  void CheckboxClicked(int row, int column);

 protected:
  void OnLButtonDown(QMouseEvent* event);

  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
  void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;

  // Where choice cells plug in: a selected choice cell's field and drop button (drawn as
  // text until then), a click on a choice cell, and closing an open drop list.
  virtual void PaintChoiceCell(QPainter& painter, int row, int column, const QRect& rect) const;
  virtual void OnChoiceCellClick(int row, int column);
  virtual void DismissChoiceList();

 private:
  friend class CellRowHeightDelegate;

  void AttachHeader();
  void OnColumnClick(int column);
  void OnSysColorChange();
  void SyncHeaderCheck(int column);
  void PaintCell(QPainter& painter, int row, int column) const;
  void PaintEmptyMessage();
  int RowHeight() const;
  int RowAt(const QPoint& pos) const;
  int ColumnAt(int row, const QPoint& pos) const;
  bool IsRowSelected(int row) const;
  Qt::Alignment ColumnAlignment(int column) const;
  int NewRow(int row, const QString& text, const QColor& text_colour, const QColor& back_colour);

  CellListItem* Row(int row) const;
  ListCellData* Cell(int row, int column) const;
  ListCellData* FirstRecord(int row) const;

  CCellHeaderCtrl* header_ = nullptr;
  bool header_attached_ = false;
  SysColours colours_;
  const ImageList* images_ = nullptr;
  bool full_row_select_ = false;
  bool show_selection_always_ = false;
};

}  // namespace qs
