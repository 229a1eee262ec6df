// The platform colours the list and header controls paint with, taken from the palette roles
// that carry the matching system colours (Qt's Windows theme fills them from GetSysColor).
#pragma once

#include <QColor>

class QPalette;

namespace qs {

struct SysColours {
  QColor button_face;       // COLOR_BTNFACE: QPalette::Button
  QColor button_shadow;     // COLOR_BTNSHADOW: QPalette::Dark
  QColor button_highlight;  // COLOR_BTNHIGHLIGHT: QPalette::Light
  QColor button_text;       // COLOR_BTNTEXT: QPalette::ButtonText
  QColor dark_shadow;       // COLOR_3DDKSHADOW: QPalette::Shadow
  QColor light;             // COLOR_3DLIGHT: QPalette::Midlight
  QColor gray_text;         // COLOR_GRAYTEXT: disabled QPalette::Text
  QColor highlight;         // COLOR_HIGHLIGHT: QPalette::Highlight
  QColor highlight_text;    // COLOR_HIGHLIGHTTEXT: QPalette::HighlightedText
  QColor window;            // COLOR_WINDOW: QPalette::Base
  QColor window_text;       // COLOR_WINDOWTEXT: QPalette::Text

  // Active-group colours, so a list that loses the focus keeps its look.
  static SysColours FromPalette(const QPalette& palette);
};

}  // namespace qs
