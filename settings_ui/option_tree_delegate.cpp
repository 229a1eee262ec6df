#include "settings_ui/option_tree_delegate.h"

#include <QPainter>
#include <QPainterPath>

#include "settings_ui/option_tree_ctrl.h"

namespace qs {

OptionTreeDelegate::OptionTreeDelegate(COptionTreeCtrl* tree)
    : QStyledItemDelegate(tree), tree_(tree) {}

void OptionTreeDelegate::initStyleOption(QStyleOptionViewItem* option,
                                         const QModelIndex& index) const {
  QStyledItemDelegate::initStyleOption(option, index);
  // Box, radio and colour lines have no image of their own: keep the image place free for
  // what is drawn there, so that their labels line up with the others.
  const OptionItemKind kind = tree_->KindOf(tree_->ItemOf(index));
  if (kind == OptionItemKind::kCheckBox || kind == OptionItemKind::kRadio ||
      kind == OptionItemKind::kColour) {
    option->features |= QStyleOptionViewItem::HasDecoration;
    option->decorationSize = tree_->iconSize();
  }
}

QRect OptionTreeDelegate::IconSpan(const QWidget& view, const QModelIndex& index,
                                   const QRect& rect) const {
  QStyleOptionViewItem option;
  option.initFrom(&view);
  option.rect = rect;
  option.decorationSize = tree_->iconSize();
  initStyleOption(&option, index);
  if (!(option.features & QStyleOptionViewItem::HasDecoration)) {
    return {};
  }
  return view.style()->subElementRect(QStyle::SE_ItemViewItemDecoration, &option, &view);
}

void OptionTreeDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
  QStyledItemDelegate::paint(painter, option, index);
  const OptionItemData* record = tree_->Record(tree_->ItemOf(index));
  if (record == nullptr) {
    return;
  }
  const QRect span = IconSpan(*tree_, index, option.rect);
  if (span.isEmpty()) {
    return;
  }
  const QPalette& palette = option.palette;
  if (record->kind == OptionItemKind::kColour) {
    if (record->show_colour) {
      painter->fillRect(span, record->colour);
    }
    return;
  }
  const bool radio = record->kind == OptionItemKind::kRadio;
  if (!radio && record->kind != OptionItemKind::kCheckBox) {
    return;
  }
  painter->fillRect(span, palette.color(record->shaded ? QPalette::Button : QPalette::Base));
  const QRect box = COptionTreeCtrl::BoxRect(span);
  if (!tree_->ThemedDrawing()) {
    DrawPlainBox(painter, box, palette, radio, record->selected, record->enabled);
    return;
  }
  QStyleOptionButton button;
  button.initFrom(tree_);
  button.rect = box;
  button.state = QStyle::State_None;
  if (record->enabled) {
    button.state |= QStyle::State_Enabled;
  } else {
    button.palette.setCurrentColorGroup(QPalette::Disabled);
  }
  button.state |= record->selected ? QStyle::State_On : QStyle::State_Off;
  tree_->style()->drawPrimitive(
      radio ? QStyle::PE_IndicatorRadioButton : QStyle::PE_IndicatorCheckBox, &button, painter,
      tree_);
}

void OptionTreeDelegate::DrawPlainBox(QPainter* painter, const QRect& box, const QPalette& palette,
                                      bool radio, bool ticked, bool enabled) const {
  const QPalette::ColorGroup group = enabled ? QPalette::Active : QPalette::Disabled;
  const QColor ink = palette.color(group, QPalette::Text);
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  painter->setPen(QPen(ink, 1));
  painter->setBrush(palette.color(group, QPalette::Base));
  const QRectF frame = QRectF(box).adjusted(2.5, 2.5, -2.5, -2.5);
  if (radio) {
    painter->drawEllipse(frame);
  } else {
    painter->drawRect(frame);
  }
  if (ticked) {
    const QRectF inner = frame.adjusted(2.5, 2.5, -2.5, -2.5);
    if (radio) {
      painter->setBrush(ink);
      painter->drawEllipse(inner);
    } else {
      painter->setPen(QPen(ink, 1.6));
      QPainterPath tick;
      tick.moveTo(inner.left(), inner.center().y());
      tick.lineTo(inner.left() + inner.width() * 0.4, inner.bottom());
      tick.lineTo(inner.right(), inner.top());
      painter->setBrush(Qt::NoBrush);
      painter->drawPath(tick);
    }
  }
  painter->restore();
}

}  // namespace qs
