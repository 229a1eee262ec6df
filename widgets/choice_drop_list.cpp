#include "widgets/choice_drop_list.h"

#include <QKeyEvent>
#include <algorithm>

namespace qs {

CChoiceDropList::CChoiceDropList(QWidget* owner) : QListWidget(owner) {
  setWindowFlags(Qt::Popup);
  setFont(owner->font());
  setMouseTracking(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void CChoiceDropList::Open(const QStringList& entries, int selected, const QRect& area) {
  addItems(entries);
  setCurrentRow(selected);
  const int row_height = std::max(1, sizeHintForRow(0));
  const int rows = std::max(1, area.height() / row_height);
  setGeometry(area.x(), area.y(), area.width(), rows * row_height + 2 * frameWidth());
  show();
  setFocus();
  scrollToItem(currentItem());
}

void CChoiceDropList::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (currentItem() != nullptr) {
        finished_ = true;
        emit Committed(currentItem()->text());
      }
      return;
    case Qt::Key_Escape:
      finished_ = true;
      emit Cancelled();
      return;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
      QListWidget::keyPressEvent(event);
      if (currentItem() != nullptr) {
        emit Previewed(currentItem()->text());
      }
      return;
    default:
      JumpToLetter(event->text());
  }
}

// The next entry after the current one (wrapping) that begins with the letter.
bool CChoiceDropList::JumpToLetter(const QString& typed) {
  if (typed.size() != 1 || !typed.front().isLetter()) {
    return false;
  }
  for (int step = 1; step <= count(); ++step) {
    const int row = (currentRow() + step) % count();
    if (item(row)->text().startsWith(typed, Qt::CaseInsensitive)) {
      setCurrentRow(row);
      emit Previewed(item(row)->text());
      return true;
    }
  }
  return false;
}

// Hovering moves the selection without previewing it; only a click or Enter commits.
void CChoiceDropList::mouseMoveEvent(QMouseEvent* event) {
  if (QListWidgetItem* hovered = itemAt(event->position().toPoint())) {
    setCurrentItem(hovered);
  }
}

void CChoiceDropList::mouseReleaseEvent(QMouseEvent* event) {
  if (QListWidgetItem* clicked = itemAt(event->position().toPoint())) {
    finished_ = true;
    emit Committed(clicked->text());
    return;
  }
  QListWidget::mouseReleaseEvent(event);
}

void CChoiceDropList::hideEvent(QHideEvent* event) {
  QListWidget::hideEvent(event);
  if (!finished_) {
    finished_ = true;
    emit Cancelled();
  }
}

}  // namespace qs
