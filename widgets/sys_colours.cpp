#include "widgets/sys_colours.h"

#include <QPalette>

namespace qs {

SysColours SysColours::FromPalette(const QPalette& palette) {
  const auto active = [&palette](QPalette::ColorRole role) {
    return palette.color(QPalette::Active, role);
  };
  SysColours colours;
  colours.button_face = active(QPalette::Button);
  colours.button_shadow = active(QPalette::Dark);
  colours.button_highlight = active(QPalette::Light);
  colours.button_text = active(QPalette::ButtonText);
  colours.dark_shadow = active(QPalette::Shadow);
  colours.light = active(QPalette::Midlight);
  colours.gray_text = palette.color(QPalette::Disabled, QPalette::Text);
  colours.highlight = active(QPalette::Highlight);
  colours.highlight_text = active(QPalette::HighlightedText);
  colours.window = active(QPalette::Base);
  colours.window_text = active(QPalette::Text);
  return colours;
}

}  // namespace qs
