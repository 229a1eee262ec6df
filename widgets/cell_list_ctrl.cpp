#include "widgets/cell_list_ctrl.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

#include "widgets/cell_header_ctrl.h"
#include "widgets/cell_list_model.h"
#include "widgets/choice_drop_list.h"

namespace qs {

namespace {

// Draws what the plain item delegate does not: progress cells as the style's progress bar with
// the label over it, a choice cell of the selected row as the style's combo box, and a check
// box without text centred in its cell. Rows are as tall as the font or a 16-pixel icon, + 1.
class CellDelegate : public QStyledItemDelegate {
 public:
  explicit CellDelegate(CCellListCtrl* list) : QStyledItemDelegate(list), list_(list) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(),
                 std::max(option.fontMetrics.height(), 16) + 1);
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const ListCellData* cell = list_->Model()->Cell(index.row(), index.column());
    QStyle* style = option.widget != nullptr ? option.widget->style() : QApplication::style();
    if (cell != nullptr && cell->progressShown) {
      // Selection does not change a progress cell's look.
      QStyleOptionProgressBar bar;
      bar.QStyleOption::operator=(option);
      bar.state = (option.state & QStyle::State_Enabled) | QStyle::State_Horizontal;
      bar.rect = option.rect.adjusted(1, 1, -2, -1);
      bar.minimum = 0;
      bar.maximum = 100;
      bar.progress = std::clamp(cell->percent, 0, 100);
      bar.text = index.data(Qt::DisplayRole).toString();
      bar.textVisible = !bar.text.isEmpty();
      bar.textAlignment = Qt::AlignCenter;
      style->drawControl(QStyle::CE_ProgressBar, &bar, painter, option.widget);
      return;
    }
    if (cell != nullptr && cell->comboEnabled && (option.state & QStyle::State_Selected)) {
      QStyleOptionComboBox combo;
      combo.QStyleOption::operator=(option);
      combo.state &= ~QStyle::State_Selected;
      combo.currentText = cell->text;
      combo.frame = true;
      style->drawComplexControl(QStyle::CC_ComboBox, &combo, painter, option.widget);
      style->drawControl(QStyle::CE_ComboBoxLabel, &combo, painter, option.widget);
      return;
    }
    if (cell != nullptr && cell->checkState >= 0 && cell->text.isEmpty()) {
      QStyleOptionViewItem item = option;
      initStyleOption(&item, index);
      style->drawPrimitive(QStyle::PE_PanelItemViewItem, &item, painter, option.widget);
      QRect box = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &item, item.widget);
      box.moveCenter(item.rect.center());
      item.rect = box;
      item.state |= cell->checkState == 1 ? QStyle::State_On : QStyle::State_Off;
      style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &item, painter, option.widget);
      return;
    }
    QStyledItemDelegate::paint(painter, option, index);
  }

 private:
  CCellListCtrl* list_;
};

}  // namespace

CCellListCtrl::CCellListCtrl(QWidget* parent)
    : QTreeView(parent), model_(new CellListModel(this)), header_(new CCellHeaderCtrl(this)) {
  setHeader(header_);
  setModel(model_);
  setItemDelegate(new CellDelegate(this));
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  header_->setStretchLastSection(false);
  header_->setSectionsClickable(true);  // the view turns it off with sorting
  connect(header_, &CCellHeaderCtrl::CheckBoxClicked, this,
          &CCellListCtrl::OnHeaderCheckBoxClicked);
}

CCellListCtrl::~CCellListCtrl() {
  CloseDropList(false);
}

int CCellListCtrl::InsertColumn(int column, const QString& heading, Qt::Alignment format,
                                int width) {
  if (!model_->InsertColumn(column, heading, format)) {
    return -1;
  }
  if (width >= 0) {
    setColumnWidth(column, width);
  }
  return column;
}

int CCellListCtrl::InsertRow(int row, const QString& text) {
  if (!model_->InsertRow(row)) {
    return -1;
  }
  if (GetColumnCount() > 0) {
    SetCellText(row, 0, text);
  }
  return row;
}

bool CCellListCtrl::DeleteRow(int row) {
  CloseDropList(false);
  return model_->RemoveRow(row);
}

void CCellListCtrl::DeleteAllRows() {
  CloseDropList(false);
  model_->Clear();
}

bool CCellListCtrl::SetCheckState(int row, int column, int state) {
  if (!model_->Change(row, column, [&](ListCellData& cell) { cell.checkState = state; })) {
    return false;
  }
  SyncHeaderCheck(column);
  return true;
}

bool CCellListCtrl::ShowProgress(int row, int column, bool text_shown, const QString& format) {
  return model_->Change(row, column, [&](ListCellData& cell) {
    cell.progressShown = true;
    cell.percent = 0;
    cell.progressTextShown = text_shown;
    cell.progressFormat = format;
  });
}

bool CCellListCtrl::SelectRow(int row) {
  if (row < 0 || row >= GetItemCount()) {
    return false;
  }
  setCurrentIndex(model_->index(row, 0));
  return true;
}

int CCellListCtrl::GetSelectedRow() const {
  const QModelIndexList rows = selectionModel()->selectedRows();
  if (rows.isEmpty()) {
    return -1;
  }
  return std::min_element(rows.begin(), rows.end())->row();
}

bool CCellListCtrl::GetCellRect(int row, int column, QRect* rect) const {
  if (model_->Cell(row, column) == nullptr) {
    return false;
  }
  *rect = visualRect(model_->index(row, column));
  return true;
}

// A header check box follows its column: checked exactly when every row is.
void CCellListCtrl::SyncHeaderCheck(int column) {
  if (GetHeaderCheck(column) > 0) {
    SetHeaderCheck(column, model_->CountChecked(column) == GetItemCount() ? 2 : 1);
  }
}

// Not every row checked: check every row that has a box; otherwise uncheck them. The rows
// send no notification of their own.
void CCellListCtrl::OnHeaderCheckBoxClicked(int column) {
  const int image = GetHeaderCheck(column);
  if (image <= 0) {
    return;
  }
  SetHeaderCheck(column, image == 1 ? 2 : 1);
  for (int row = 0; row < GetItemCount(); ++row) {
    model_->Change(row, column, [&](ListCellData& cell) {
      if (cell.checkState >= 0) {
        cell.checkState = image == 1 ? 1 : 0;
      }
    });
  }
}

void CCellListCtrl::mousePressEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  const ListCellData* cell = model_->Cell(index.row(), index.column());
  if (event->button() != Qt::LeftButton || cell == nullptr) {
    CloseDropList(true);
    QTreeView::mousePressEvent(event);
    return;
  }
  if (!model_->IsRowEnabled(index.row())) {
    return;  // swallowed: no selection, no focus, no toggle
  }
  if (cell->checkState >= 0) {
    const int row = index.row();
    const int column = index.column();
    model_->Change(row, column,
                   [](ListCellData& data) { data.checkState = data.checkState == 0 ? 1 : 0; });
    emit CheckboxClicked(row, column);
    SyncHeaderCheck(column);
  } else if (cell->comboEnabled) {
    // The drop button is the last cell-height pixels of the cell; the rest only closes a list.
    CloseDropList(true);
    const QRect rect = visualRect(index);
    if (event->position().toPoint().x() >= rect.right() - rect.height()) {
      OpenDropList(index.row(), index.column());
    }
  } else {
    CloseDropList(true);
  }
  QTreeView::mousePressEvent(event);
}

// Every click of a double click counts, so a check box toggles twice.
void CCellListCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
  mousePressEvent(event);
}

void CCellListCtrl::paintEvent(QPaintEvent* event) {
  QTreeView::paintEvent(event);
  if (GetItemCount() > 0) {
    return;
  }
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::Text));
  painter.drawText(viewport()->rect().adjusted(0, 10, 0, 0),
                   Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, kEmptyMessage);
}

bool CCellListCtrl::AttachChoices(int row, int column, bool enable, const QStringList* choices,
                                  int drop_rows, int initial_choice) {
  if (choices == nullptr) {
    return false;
  }
  if (initial_choice < 0 || initial_choice >= choices->size()) {
    initial_choice = 0;
  }
  return model_->Change(row, column, [&](ListCellData& cell) {
    cell.comboEnabled = enable;
    if (enable) {
      cell.choices = choices;
      cell.dropRows = drop_rows;
      cell.initialChoice = initial_choice;
      if (initial_choice < choices->size()) {
        cell.text = choices->at(initial_choice);
      }
    }
  });
}

// The list opens below the cell, as wide as the cell and `dropRows` rows tall, with the entry
// that equals the cell's text selected (else the first, which an empty cell takes as its text).
void CCellListCtrl::OpenDropList(int row, int column) {
  const ListCellData* cell = model_->Cell(row, column);
  QStringList entries;
  for (const QString& choice : *cell->choices) {
    if (!choice.isEmpty()) {
      entries.append(choice);
    }
  }
  if (entries.isEmpty()) {
    return;
  }
  if (cell->text.isEmpty()) {
    SetCellText(row, column, entries.first());
  }
  choice_row_ = row;
  choice_column_ = column;
  initial_choice_text_ = GetItemText(row, column);
  const QRect rect = visualRect(model_->index(row, column));
  const QRect area(viewport()->mapToGlobal(rect.bottomLeft() + QPoint(0, 1)),
                   QSize(rect.width(), cell->dropRows * rect.height()));
  drop_list_ = new CChoiceDropList(this);
  connect(drop_list_, &CChoiceDropList::Previewed, this,
          [this, row, column](const QString& text) { SetCellText(row, column, text); });
  connect(drop_list_, &CChoiceDropList::Committed, this, [this, row, column](const QString& text) {
    SetCellText(row, column, text);
    CloseDropList(false);
    emit ChoiceSelected(row, column);
  });
  connect(drop_list_, &CChoiceDropList::Cancelled, this, [this] { CloseDropList(true); });
  drop_list_->Open(entries, std::max<int>(0, entries.indexOf(initial_choice_text_)), area);
}

void CCellListCtrl::CloseDropList(bool restore) {
  if (drop_list_ == nullptr) {
    return;
  }
  CChoiceDropList* list = drop_list_;
  drop_list_ = nullptr;
  list->disconnect(this);
  list->hide();
  list->deleteLater();
  if (restore) {
    SetCellText(choice_row_, choice_column_, initial_choice_text_);
  }
}

}  // namespace qs
