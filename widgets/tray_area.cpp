#include "widgets/tray_area.h"

#include "widgets/gdi_paint.h"

namespace qs {

QRect TrayAreaFor(const QRect& icon, const QRect& screen, const QRect& work_area) {
  if (icon.isValid() && !icon.isEmpty()) {
    return icon;
  }
  const GdiRect s = GdiRect::FromQRect(screen);
  const GdiRect w = GdiRect::FromQRect(work_area);
  GdiRect bar = s;
  bool horizontal = true;
  if (w.bottom < s.bottom) {
    bar.top = w.bottom;
  } else if (w.top > s.top) {
    bar.bottom = w.top;
  } else if (w.left > s.left) {
    bar.right = w.left;
    horizontal = false;
  } else if (w.right < s.right) {
    bar.left = w.right;
    horizontal = false;
  } else {
    return GdiRect{w.right - 150, w.bottom - 30, w.right, w.bottom}.ToQRect();
  }
  if (horizontal) {
    return GdiRect{bar.right - 100, bar.top, bar.right - 16, bar.bottom}.ToQRect();
  }
  return GdiRect{bar.left, bar.bottom - 100, bar.right, bar.bottom - 16}.ToQRect();
}

}  // namespace qs
