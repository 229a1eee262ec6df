// Names from downloaded archives made safe for one line of a terminal or the log.
#pragma once

#include <string>
#include <string_view>

namespace qs {

// Every control character (C0, DEL, C1 such as U+0085 and U+009B, the line and paragraph
// separators, the bidirectional controls) and every byte that is not part of valid UTF-8
// becomes '?'; everything else is kept as it is.
std::string Printable(std::string_view text);

}  // namespace qs
