// Where the notification area is, for the animation of a window into and out of it.
#pragma once

#include <QRect>

namespace qs {

// The icon's own rectangle when the tray reports it. Otherwise the panel is taken to be the
// strip between the screen and its work area: on a horizontal panel the area ends 16 pixels
// before the panel's right end and is 84 wide, on a vertical one it ends 16 pixels above
// its bottom and is 84 high. Without a panel, a 150 x 30 box in the work area's bottom-right
// corner.
QRect TrayAreaFor(const QRect& icon, const QRect& screen, const QRect& work_area);

}  // namespace qs
