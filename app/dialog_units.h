// Dialog units: the desktop program's windows are laid out in the units of their dialog font
// (a quarter of the font's average character width across, an eighth of its height down), so
// that they keep their proportions with whatever font the platform substitutes.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace qs {

// "MS Sans Serif" 8 pt, or the sans-serif face the platform puts in its place.
QFont DialogFont();

// a * b / c rounded half away from zero, as the platform's MulDiv.
int MulDiv(int a, int b, int c);

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);

  int X(int units) const { return MulDiv(units, base_x_, 4); }
  int Y(int units) const { return MulDiv(units, base_y_, 8); }
  // Each of the four values is converted on its own, as a dialog template's are.
  QRect Rect(int left, int top, int width, int height) const;
  QSize Size(int width, int height) const;

 private:
  // The average width of the 52 Latin letters (rounded) and the font's height, in pixels.
  int base_x_ = 0;
  int base_y_ = 0;
};

}  // namespace qs
