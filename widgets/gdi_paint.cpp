#include "widgets/gdi_paint.h"

#include <QPainter>
#include <algorithm>
#include <cstdlib>

#include "widgets/sys_colours.h"

namespace qs {

void FillSolidRect(QPainter& painter, const GdiRect& rect, const QColor& colour) {
  // A reversed rectangle still fills the pixels between its edges, as the platform does.
  const int left = std::min(rect.left, rect.right);
  const int right = std::max(rect.left, rect.right);
  const int top = std::min(rect.top, rect.bottom);
  const int bottom = std::max(rect.top, rect.bottom);
  if (left == right || top == bottom) {
    return;
  }
  painter.fillRect(QRect(left, top, right - left, bottom - top), colour);
}

void DrawLine(QPainter& painter, int x1, int y1, int x2, int y2, const QColor& colour) {
  if (y1 == y2) {
    // Going left, the start pixel is drawn and the end pixel is not.
    const int left = x2 >= x1 ? x1 : x2 + 1;
    FillSolidRect(painter, {left, y1, left + std::abs(x2 - x1), y1 + 1}, colour);
  } else if (x1 == x2) {
    const int top = y2 >= y1 ? y1 : y2 + 1;
    FillSolidRect(painter, {x1, top, x1 + 1, top + std::abs(y2 - y1)}, colour);
  }
}

void DrawEdgeSunken(QPainter& painter, const GdiRect& r, const SysColours& colours) {
  // Outer ring first, then the inner one; bottom and right go last so they own the corners.
  DrawLine(painter, r.left, r.top, r.right, r.top, colours.button_shadow);
  DrawLine(painter, r.left, r.top, r.left, r.bottom, colours.button_shadow);
  DrawLine(painter, r.left, r.bottom - 1, r.right, r.bottom - 1, colours.button_highlight);
  DrawLine(painter, r.right - 1, r.top, r.right - 1, r.bottom, colours.button_highlight);

  DrawLine(painter, r.left + 1, r.top + 1, r.right - 1, r.top + 1, colours.dark_shadow);
  DrawLine(painter, r.left + 1, r.top + 1, r.left + 1, r.bottom - 1, colours.dark_shadow);
  DrawLine(painter, r.left + 1, r.bottom - 2, r.right - 1, r.bottom - 2, colours.light);
  DrawLine(painter, r.right - 2, r.top + 1, r.right - 2, r.bottom - 1, colours.light);
}

void Draw3dRect(QPainter& painter, int x, int y, int cx, int cy, const QColor& top_left,
                const QColor& bottom_right) {
  FillSolidRect(painter, {x, y, x + cx - 1, y + 1}, top_left);
  FillSolidRect(painter, {x, y, x + 1, y + cy - 1}, top_left);
  FillSolidRect(painter, {x + cx - 1, y, x + cx, y + cy}, bottom_right);
  FillSolidRect(painter, {x, y + cy - 1, x + cx, y + cy}, bottom_right);
}

}  // namespace qs
