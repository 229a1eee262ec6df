// The watch list's view over a CellListModel: check-box cells, progress cells with their "n%"
// label, an icon before a cell's text, choice cells with a drop list, disabled rows, cell
// tooltips, a header check box that mirrors its column, and a message in the empty list. The
// style draws everything in the palette's colours. GUI thread only.
#pragma once

#include <QString>
#include <QStringList>
#include <QTreeView>

#include "widgets/cell_list_model.h"

namespace qs {

class CCellHeaderCtrl;
class CChoiceDropList;

class CCellListCtrl : public QTreeView {
  Q_OBJECT

 public:
  static inline const QString kEmptyMessage =
      QStringLiteral("There are no items to show in this view.");

  explicit CCellListCtrl(QWidget* parent = nullptr);
  ~CCellListCtrl() override;

  // Answers the column's index, or -1. A width of -1 leaves the header's default.
  int InsertColumn(int column, const QString& heading, Qt::Alignment format = Qt::AlignLeft,
                   int width = -1);
  int GetColumnCount() const { return model_->columnCount(); }
  // The icons that SetCellImage refers to; not owned.
  void SetImageList(const ImageList* images) { model_->SetImageList(images); }
  CCellHeaderCtrl* Header() const { return header_; }
  CellListModel* Model() const { return model_; }

  int GetItemCount() const { return model_->rowCount(); }
  QString GetItemText(int row, int column) const {
    return model_->Get(row, column, &ListCellData::text, QString());
  }

  // Answers the new row's index, or -1.
  int InsertRow(int row, const QString& text);
  bool SetCellText(int row, int column, const QString& text) {
    return model_->Set(row, column, &ListCellData::text, text);
  }
  bool SetCellImage(int row, int column, int image) {
    return model_->Set(row, column, &ListCellData::image, image);
  }
  bool DeleteRow(int row);
  void DeleteAllRows();

  // -1 no check box, 0 unchecked, 1 checked. Keeps the column's header check box in step.
  bool SetCheckState(int row, int column, int state);
  int GetCheckState(int row, int column) const {
    return model_->Get(row, column, &ListCellData::checkState, -1);
  }

  bool ShowProgress(int row, int column, bool text_shown = true, const QString& format = {});
  // Repaints the one cell, and only when the value changes; no clamping.
  void SetProgressPercent(int row, int column, int percent) {
    model_->Set(row, column, &ListCellData::percent, percent);
  }
  int GetProgressPercent(int row, int column) const {
    return model_->Get(row, column, &ListCellData::percent, 0);
  }

  // A disabled row is greyed and ignores clicks.
  bool EnableRow(int row, bool enable) { return model_->SetRowEnabled(row, enable); }
  bool SetCellTip(int row, int column, const QString& text) {
    return model_->Set(row, column, &ListCellData::tipText, text);
  }

  bool SelectRow(int row);
  int GetSelectedRow() const;
  // Viewport coordinates.
  bool GetCellRect(int row, int column, QRect* rect) const;

  // The header check box: 0 none, 1 not every row checked, 2 every row checked; -1 for a bad
  // column.
  int GetHeaderCheck(int column) const { return model_->HeaderCheck(column); }
  bool SetHeaderCheck(int column, int image) { return model_->SetHeaderCheck(column, image); }

  // Makes the cell a choice cell (or no longer one) offering the non-empty entries of
  // `choices`, which the caller keeps alive. Null `choices` fails; a bad initial index is 0.
  bool AttachChoices(int row, int column, bool enable, const QStringList* choices,
                     int drop_rows = 10, int initial_choice = 0);
  QString GetChoiceText(int row, int column) const { return GetItemText(row, column); }
  // The open drop list, if any.
  CChoiceDropList* DropList() const { return drop_list_; }

 signals:
  // A click toggled a check cell; the new state is already stored. Emitted synchronously.
  void CheckboxClicked(int row, int column);
  // A choice from the drop list (Enter or a click) is now the cell's text.
  void ChoiceSelected(int row, int column);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void OnHeaderCheckBoxClicked(int column);
  void SyncHeaderCheck(int column);
  void OpenDropList(int row, int column);
  // Closes an open drop list; `restore` puts back the text the cell had when it opened.
  void CloseDropList(bool restore);

  CellListModel* model_ = nullptr;
  CCellHeaderCtrl* header_ = nullptr;
  CChoiceDropList* drop_list_ = nullptr;  // owned through the Qt parent
  int choice_row_ = -1;
  int choice_column_ = -1;
  QString initial_choice_text_;
};

}  // namespace qs
