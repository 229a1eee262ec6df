#include "widgets/offscreen_dc.h"

#include <QPaintDevice>

namespace qs {

COffscreenDC::COffscreenDC(QPainter& target, const QRect& clip)
    : target_(target),
      clip_(clip),
      direct_(target.device() == nullptr || target.device()->devType() == QInternal::Printer ||
              clip.isEmpty()) {
  if (direct_) {
    return;
  }
  const qreal ratio = target.device()->devicePixelRatioF();
  buffer_ = QPixmap(clip_.size() * ratio);
  buffer_.setDevicePixelRatio(ratio);
  buffer_painter_.begin(&buffer_);
  buffer_painter_.setFont(target.font());
  buffer_painter_.translate(-clip_.topLeft());
}

COffscreenDC::~COffscreenDC() {
  if (direct_) {
    return;
  }
  buffer_painter_.end();
  target_.drawPixmap(clip_.topLeft(), buffer_);
}

}  // namespace qs
