#include "widgets/cell_header_ctrl.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <vector>

#include "widgets/gdi_paint.h"
#include "widgets/image_list.h"
#include "widgets/offscreen_dc.h"

namespace qs {

CCellHeaderCtrl::CCellHeaderCtrl(QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), colours_(SysColours::FromPalette(palette())) {
  setSectionsClickable(true);
  setStretchLastSection(false);
  setHighlightSections(false);
}

bool CCellHeaderCtrl::SetHeaderValue(int index, int value) {
  switch (index) {
    case 1:
      item_spacing_ = value;
      break;
    case 2:
      value2_ = value;
      break;
    case 3:
      // The header already spans the list's viewport, so there is no layout to widen.
      widen_layout_ = value != 0;
      break;
    case 4:
      value4_ = value;
      break;
    default:
      return false;
  }
  viewport()->update();
  return true;
}

int CCellHeaderCtrl::HeaderValue(int index) const {
  switch (index) {
    case 1:
      return item_spacing_;
    case 2:
      return value2_;
    case 3:
      return widen_layout_ ? 1 : 0;
    case 4:
      return value4_;
    default:
      return 0;
  }
}

void CCellHeaderCtrl::SetImageList(const ImageList* images) {
  images_ = images;
  if (images != nullptr && images->Count() > 0) {
    image_size_ = images->ImageInfo(0);
  }
  updateGeometry();
  viewport()->update();
}

CCellHeaderCtrl::Item CCellHeaderCtrl::GetItem(int logical) const {
  Item item;
  if (model() == nullptr || logical < 0 || logical >= count()) {
    return item;
  }
  const auto data = [this, logical](int role) {
    return model()->headerData(logical, Qt::Horizontal, role);
  };
  item.width = sectionSize(logical);
  const QVariant text = data(Qt::DisplayRole);
  item.has_text = text.isValid();
  item.text = text.toString();
  item.image = data(kImageRole).toInt();
  item.bitmap = data(kBitmapRole).value<QPixmap>();
  item.owner_draw = data(kOwnerDrawRole).toBool();
  return item;
}

QRect CCellHeaderCtrl::GetItemRect(int logical) const {
  return QRect(sectionViewportPosition(logical), 0, sectionSize(logical), viewport()->height());
}

int CCellHeaderCtrl::GetItemImage(int logical) const {
  return GetItem(logical).image;
}

bool CCellHeaderCtrl::SetItemImage(int logical, int image) {
  if (model() == nullptr || logical < 0 || logical >= count()) {
    return false;
  }
  return model()->setHeaderData(logical, Qt::Horizontal, image, kImageRole);
}

QSize CCellHeaderCtrl::sizeHint() const {
  QSize size = QHeaderView::sizeHint();
  size.setHeight(std::max(size.height(), image_size_.height() + 4));
  return size;
}

void CCellHeaderCtrl::paintEvent(QPaintEvent* event) {
  const QRect clip = event->rect();
  if (clip.isEmpty()) {
    return;
  }
  QPainter painter(viewport());
  painter.setFont(font());
  if (double_buffered_) {
    COffscreenDC offscreen(painter, clip);
    PaintHeader(offscreen.Painter());
  } else {
    PaintHeader(painter);
  }
}

void CCellHeaderCtrl::changeEvent(QEvent* event) {
  QHeaderView::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) {
    colours_ = SysColours::FromPalette(palette());
    viewport()->update();
  }
}

void CCellHeaderCtrl::DrawItem(QPainter& /*painter*/, int /*logical*/, const QRect& /*rect*/) {}

void CCellHeaderCtrl::PaintHeader(QPainter& painter) {
  const QRect client = viewport()->rect();
  FillSolidRect(painter, GdiRect::FromQRect(client), colours_.button_face);

  std::vector<int> shown;
  for (int position = 0; position < count(); ++position) {
    const int logical = logicalIndex(position);
    if (!isSectionHidden(logical)) {
      shown.push_back(logical);
    }
  }

  int total = 0;
  for (size_t i = 0; i < shown.size(); ++i) {
    const int logical = shown[i];
    const Item item = GetItem(logical);
    const QRect item_rect = GetItemRect(logical);
    GdiRect r = GdiRect::FromQRect(item_rect);
    if (item.owner_draw) {
      DrawItem(painter, logical, item_rect);
    } else {
      r.left += item_spacing_;
      r.right -= item_spacing_;
      PaintItem(painter, r, item);
      r.left -= item_spacing_;
      r.right += item_spacing_;
    }
    if (i + 1 < shown.size()) {
      DrawLine(painter, r.right - 1, r.top + 2, r.right - 1, r.bottom - 2, colours_.button_shadow);
      DrawLine(painter, r.right, r.top + 2, r.right, r.bottom - 2, colours_.button_highlight);
    }
    total += item.width;
  }

  if (total > 0) {
    // The frame follows the items, which move with the list's horizontal scroll.
    Draw3dRect(painter, client.left() - offset(), client.top(), total, client.height(),
               colours_.button_highlight, colours_.button_shadow);
  }
}

void CCellHeaderCtrl::PaintItem(QPainter& painter, GdiRect rect, const Item& item) {
  int width = PaintItemImage(painter, rect, item, false);
  if (width != 0) {
    rect.left += width + item_spacing_;
  }
  width = PaintItemBitmap(painter, rect, item, true);
  if (width != 0) {
    rect.right -= width + item_spacing_;
  }
  PaintItemText(painter, rect, item);
}

int CCellHeaderCtrl::PaintItemImage(QPainter& painter, const GdiRect& rect, const Item& item,
                                    bool at_right) {
  if (item.image == 0 || images_ == nullptr || rect.Width() <= 0 ||
      images_->ImageInfo(item.image).isEmpty()) {
    return 0;
  }
  const int x = at_right ? rect.right - image_size_.width() : rect.left;
  const int y = (rect.top + rect.bottom) / 2 - image_size_.height() / 2;
  images_->Draw(painter, item.image, QPoint(x, y),
                QSize(std::min(rect.Width(), image_size_.width()), image_size_.height()));
  return image_size_.width();
}

int CCellHeaderCtrl::PaintItemBitmap(QPainter& painter, const GdiRect& rect, const Item& item,
                                     bool at_right) {
  const QSize size = item.bitmap.deviceIndependentSize().toSize();
  if (item.bitmap.isNull() || rect.Width() <= 0 || size.width() > rect.Width()) {
    return 0;
  }
  const int x = at_right ? rect.right - size.width() : rect.left;
  const int y = (rect.top + rect.bottom) / 2 - size.height() / 2;
  painter.drawPixmap(QPoint(x, y), item.bitmap);
  return size.width();
}

void CCellHeaderCtrl::PaintItemText(QPainter& painter, const GdiRect& rect, const Item& item) {
  // Captions are blue whatever the button text colour is.
  painter.setPen(QColor(0, 0, 255));
  if (rect.Width() <= 0 || !item.has_text) {
    return;
  }
  const QString caption = painter.fontMetrics().elidedText(item.text, Qt::ElideRight, rect.Width());
  painter.drawText(rect.ToQRect(), Qt::AlignCenter | Qt::TextSingleLine, caption);
}

}  // namespace qs
