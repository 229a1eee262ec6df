#include "widgets/cell_header_ctrl.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStyleOptionHeader>

namespace qs {

CCellHeaderCtrl::CCellHeaderCtrl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
  setSectionsClickable(true);
  setHighlightSections(false);
  setDefaultAlignment(Qt::AlignCenter);
  connect(this, &QHeaderView::sectionClicked, this, [this](int logical) {
    if (HasCheckBox(logical)) {
      emit CheckBoxClicked(logical);
    }
  });
}

bool CCellHeaderCtrl::HasCheckBox(int logical) const {
  return model() != nullptr &&
         model()->headerData(logical, orientation(), Qt::CheckStateRole).isValid();
}

QRect CCellHeaderCtrl::BoxIn(const QRect& section) const {
  const int width = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this);
  const int height = style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, this);
  const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this);
  return QRect(section.left() + margin, section.center().y() - height / 2 + 1, width, height);
}

QRect CCellHeaderCtrl::CheckBoxRect(int logical) const {
  if (!HasCheckBox(logical)) {
    return {};
  }
  return BoxIn(QRect(sectionViewportPosition(logical), 0, sectionSize(logical), height()));
}

// The section's face without its caption, the check box at the left, and the caption in what
// is left of the section.
void CCellHeaderCtrl::paintSection(QPainter* painter, const QRect& rect, int logical) const {
  if (!HasCheckBox(logical)) {
    QHeaderView::paintSection(painter, rect, logical);
    return;
  }
  QStyleOptionHeader header;
  initStyleOption(&header);
  initStyleOptionForIndex(&header, logical);
  header.rect = rect;
  const QString caption = header.text;
  header.text.clear();
  // CE_Header puts back the clip it found, and an unclipped painter would come back clipped
  // to nothing.
  painter->save();
  style()->drawControl(QStyle::CE_Header, &header, painter, this);
  painter->restore();

  QStyleOptionButton box;
  box.initFrom(this);
  box.rect = BoxIn(rect);
  const bool checked =
      model()->headerData(logical, orientation(), Qt::CheckStateRole).toInt() == Qt::Checked;
  box.state |= checked ? QStyle::State_On : QStyle::State_Off;
  style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, this);

  header.rect = rect.adjusted(box.rect.right() + 1 - rect.left(), 0, 0, 0);
  header.text = fontMetrics().elidedText(caption, Qt::ElideRight, header.rect.width());
  style()->drawControl(QStyle::CE_HeaderLabel, &header, painter, this);
}

}  // namespace qs
