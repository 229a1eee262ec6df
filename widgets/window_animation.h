// The short rectangle animation of a window going into or coming out of the tray.
#pragma once

#include <QRect>

namespace qs {

// A frame outline moves from `from` to `to` and vanishes; the call does not wait for it.
void AnimateWindowRects(const QRect& from, const QRect& to);

}  // namespace qs
