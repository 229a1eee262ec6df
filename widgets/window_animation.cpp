#include "widgets/window_animation.h"

#include <QPropertyAnimation>
#include <QRubberBand>

namespace qs {

void AnimateWindowRects(const QRect& from, const QRect& to) {
  constexpr int kDurationMs = 200;
  auto* band = new QRubberBand(QRubberBand::Rectangle);
  band->setAttribute(Qt::WA_TransparentForMouseEvents);
  band->setGeometry(from);
  band->show();
  auto* animation = new QPropertyAnimation(band, "geometry", band);
  animation->setDuration(kDurationMs);
  animation->setStartValue(from);
  animation->setEndValue(to);
  QObject::connect(animation, &QPropertyAnimation::finished, band, &QObject::deleteLater);
  animation->start();
}

}  // namespace qs
