// Paints a region into an off-screen pixmap and copies it to the target in one piece, so a
// control that repaints everything never shows a half-drawn state.
#pragma once

#include <QPainter>
#include <QPixmap>
#include <QRect>

namespace qs {

class COffscreenDC {
 public:
  // `clip` is the area to repaint, in the target's coordinates. On a printer the drawing goes
  // straight to the target.
  COffscreenDC(QPainter& target, const QRect& clip);
  ~COffscreenDC();
  COffscreenDC(const COffscreenDC&) = delete;
  COffscreenDC& operator=(const COffscreenDC&) = delete;

  // Draws in the target's coordinates.
  QPainter& Painter() { return direct_ ? target_ : buffer_painter_; }

 private:
  QPainter& target_;
  QRect clip_;
  bool direct_;
  QPixmap buffer_;
  QPainter buffer_painter_;
};

}  // namespace qs
