// CCellListCtrl's drawing, hit testing, mouse and tooltip handling.
#include "widgets/cell_list_ctrl.h"

#include <QFocusEvent>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

#include "widgets/cell_header_ctrl.h"
#include "widgets/cell_list_item.h"
#include "widgets/cell_painter.h"
#include "widgets/gdi_paint.h"
#include "widgets/image_list.h"
#include "widgets/list_cell_data.h"

namespace qs {
namespace {

// The tooltip buffer of the list holds 80 characters with the terminator.
constexpr qsizetype kTipLength = 79;

QString CutTip(const QString& text) {
  if (text.size() <= kTipLength) {
    return text;
  }
  qsizetype length = kTipLength;
  if (text[length - 1].isHighSurrogate()) {
    --length;  // never split a character
  }
  return text.left(length);
}

}  // namespace

int CCellListCtrl::RowHeight() const {
  const int image_height = images_ != nullptr ? images_->ImageSize().height() : 0;
  return std::max(fontMetrics().height(), image_height) + 1;
}

bool CCellListCtrl::GetCellRect(int row, int column, QRect* rect) const {
  if (row < 0 || row >= GetItemCount() || column < 0 || column >= GetColumnCount()) {
    return false;
  }
  const QRect row_rect = visualRect(model()->index(row, 0));
  *rect = QRect(header_->sectionViewportPosition(column), row_rect.top(),
                header_->sectionSize(column), row_rect.height());
  return true;
}

void CCellListCtrl::RedrawCell(int row, int column) {
  QRect rect;
  if (GetCellRect(row, column, &rect)) {
    viewport()->update(rect);
  }
}

int CCellListCtrl::RowAt(const QPoint& pos) const {
  // indexAt answers nothing right of the last column, as the row's bounds end there.
  const QModelIndex index = indexAt(pos);
  return index.isValid() ? index.row() : -1;
}

int CCellListCtrl::ColumnAt(int row, const QPoint& pos) const {
  for (int column = 0; column < GetColumnCount(); ++column) {
    QRect rect;
    if (!header_->isSectionHidden(column) && GetCellRect(row, column, &rect) &&
        rect.contains(pos)) {
      return column;
    }
  }
  return -1;
}

Qt::Alignment CCellListCtrl::ColumnAlignment(int column) const {
  const QVariant format = model()->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole);
  if (!format.isValid()) {
    return Qt::AlignLeft;
  }
  const auto alignment = Qt::Alignment(format.toInt()) & Qt::AlignHorizontal_Mask;
  if (alignment & Qt::AlignHCenter) {
    return Qt::AlignHCenter;
  }
  if (alignment == 0 || alignment & (Qt::AlignLeft | Qt::AlignLeading)) {
    return Qt::AlignLeft;
  }
  return Qt::AlignRight;
}

void CCellListCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& /*option*/,
                            const QModelIndex& index) const {
  // The style draws nothing of a row: every cell is painted here, once.
  painter->save();
  painter->setFont(font());
  for (int column = 0; column < GetColumnCount(); ++column) {
    if (!header_->isSectionHidden(column)) {
      PaintCell(*painter, index.row(), column);
    }
  }
  painter->restore();
}

void CCellListCtrl::drawBranches(QPainter* /*painter*/, const QRect& /*rect*/,
                                 const QModelIndex& /*index*/) const {}

void CCellListCtrl::PaintCell(QPainter& painter, int row, int column) const {
  QRect rect;
  if (!GetCellRect(row, column, &rect)) {
    return;
  }
  CellColours colours{colours_.window_text, colours_.window};
  const ListCellData* first = FirstRecord(row);
  const ListCellData* cell = Cell(row, column);
  if (cell != nullptr) {
    colours = {cell->textColour, cell->backColour};
  }
  if (first != nullptr && !first->enabled) {
    colours.text = colours_.gray_text;
  }
  const SelectionLook look{IsRowSelected(row), full_row_select_, hasFocus(),
                           show_selection_always_};

  if (cell != nullptr && cell->progressShown) {
    PaintProgressCell(painter, rect, *cell, colours, colours_);
  } else if (cell != nullptr && cell->comboEnabled) {
    if (look.selected) {
      PaintChoiceCell(painter, row, column, rect);
    } else {
      PaintCellText(painter, rect, GetItemText(row, column), ColumnAlignment(column), cell->bold,
                    GetCellColours(look, column, colours, colours_));
    }
  } else if (cell != nullptr && cell->checkState != -1) {
    PaintCheckCell(painter, rect, cell->checkState, GetItemText(row, column),
                   first == nullptr || first->enabled,
                   GetCellColours(look, column, colours, colours_), colours_);
  } else {
    const CellColours shown = GetCellColours(look, column, colours, colours_);
    const int skip = PaintCellImage(painter, rect, images_, cell != nullptr ? cell->image : -1,
                                    header_->ItemSpacing(), shown);
    rect.setLeft(rect.left() + skip);
    PaintCellText(painter, rect, GetItemText(row, column), ColumnAlignment(column),
                  cell != nullptr && cell->bold, shown);
  }
}

void CCellListCtrl::paintEvent(QPaintEvent* event) {
  QTreeWidget::paintEvent(event);
  if (GetItemCount() < 1) {
    PaintEmptyMessage();
  }
}

void CCellListCtrl::PaintEmptyMessage() {
  // The viewport starts below the header, so its top is the header's bottom.
  QRect rect = viewport()->rect();
  rect.setTop(rect.top() + 10);
  QPainter painter(viewport());
  FillSolidRect(painter, GdiRect::FromQRect(rect), colours_.window);
  painter.setFont(font());
  painter.setPen(colours_.window_text);
  painter.drawText(rect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap | Qt::TextDontClip,
                   kEmptyMessage);
}

void CCellListCtrl::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    OnLButtonDown(event);
  } else {
    QTreeWidget::mousePressEvent(event);
  }
}

void CCellListCtrl::OnLButtonDown(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  const int row = RowAt(pos);
  if (row < 0) {
    DismissChoiceList();
    QTreeWidget::mousePressEvent(event);
    return;
  }
  const ListCellData* first = FirstRecord(row);
  if (first == nullptr || !first->enabled) {
    // Swallowed: a disabled row (or one without records) can be neither selected nor checked.
    event->accept();
    return;
  }
  const int column = ColumnAt(row, pos);
  if (column < 0) {
    DismissChoiceList();
    QTreeWidget::mousePressEvent(event);
    return;
  }
  ListCellData* cell = Cell(row, column);
  if (cell != nullptr && cell->checkState >= 0) {
    cell->checkState = cell->checkState == 0 ? 1 : 0;
    RedrawCell(row, column);
    emit CheckboxClicked(row, column);
    SyncHeaderCheck(column);
  } else if (cell != nullptr && cell->comboEnabled) {
    OnChoiceCellClick(row, column);
  } else {
    DismissChoiceList();
  }
  QTreeWidget::mousePressEvent(event);
}

void CCellListCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
  const int row = RowAt(event->position().toPoint());
  if (row >= 0 && !IsRowEnabled(row)) {
    event->accept();
    return;
  }
  QTreeWidget::mouseDoubleClickEvent(event);
}

QString CCellListCtrl::OnToolTipText(const QPoint& pos) const {
  const int row = RowAt(pos);
  const int column = row >= 0 ? ColumnAt(row, pos) : -1;
  if (column < 0) {
    return QString();
  }
  return CutTip(GetCellTip(row, column));
}

bool CCellListCtrl::viewportEvent(QEvent* event) {
  if (event->type() != QEvent::ToolTip) {
    return QTreeWidget::viewportEvent(event);
  }
  const auto* help = static_cast<QHelpEvent*>(event);
  const QString text = OnToolTipText(help->pos());
  if (text.isEmpty()) {
    QToolTip::hideText();
    event->ignore();
  } else {
    QToolTip::showText(help->globalPos(), text, viewport());
  }
  return true;
}

void CCellListCtrl::changeEvent(QEvent* event) {
  QTreeWidget::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) {
    OnSysColorChange();
  } else if (event->type() == QEvent::FontChange) {
    scheduleDelayedItemsLayout();
  }
}

void CCellListCtrl::OnSysColorChange() {
  // Records keep the colours they were given; only the defaults follow the palette.
  colours_ = SysColours::FromPalette(palette());
  viewport()->update();
}

void CCellListCtrl::focusInEvent(QFocusEvent* event) {
  QTreeWidget::focusInEvent(event);
  viewport()->update();  // selected rows change colour with the focus
}

void CCellListCtrl::focusOutEvent(QFocusEvent* event) {
  QTreeWidget::focusOutEvent(event);
  viewport()->update();
}

void CCellListCtrl::PaintChoiceCell(QPainter& painter, int row, int column,
                                    const QRect& rect) const {
  const ListCellData* cell = Cell(row, column);
  CellColours colours{colours_.window_text, colours_.window};
  if (cell != nullptr) {
    colours = {cell->textColour, cell->backColour};
  }
  PaintCellText(painter, rect, GetItemText(row, column), ColumnAlignment(column),
                cell != nullptr && cell->bold, colours);
}

void CCellListCtrl::OnChoiceCellClick(int /*row*/, int /*column*/) {}

void CCellListCtrl::DismissChoiceList() {}

}  // namespace qs
