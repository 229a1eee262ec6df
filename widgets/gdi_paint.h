// Drawing primitives with the pixel rules of the list and header geometry: rectangles whose
// right and bottom edges are exclusive, lines whose end point is not drawn, and the sunken
// edge and 3-D frame of the classic controls. Everything is filled, never stroked, so
// antialiasing and pen caps cannot move a pixel.
#pragma once

#include <QRect>

class QColor;
class QPainter;

namespace qs {

struct SysColours;

// left/top inclusive, right/bottom exclusive.
struct GdiRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  static GdiRect FromQRect(const QRect& rect) {
    return {rect.x(), rect.y(), rect.x() + rect.width(), rect.y() + rect.height()};
  }
  QRect ToQRect() const { return QRect(left, top, right - left, bottom - top); }
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

void FillSolidRect(QPainter& painter, const GdiRect& rect, const QColor& colour);

// A horizontal or vertical one-pixel line from (x1, y1) towards (x2, y2), end point excluded.
void DrawLine(QPainter& painter, int x1, int y1, int x2, int y2, const QColor& colour);

// Two-pixel sunken border inside `rect`: shadow and dark shadow at the top and left,
// highlight and light at the bottom and right.
void DrawEdgeSunken(QPainter& painter, const GdiRect& rect, const SysColours& colours);

// One-pixel frame of width cx and height cy at (x, y); the bottom-right colour owns the
// bottom-left and top-right corners.
void Draw3dRect(QPainter& painter, int x, int y, int cx, int cy, const QColor& top_left,
                const QColor& bottom_right);

}  // namespace qs
