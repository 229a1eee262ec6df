// The one command a later start forwards to the running instance (and that the first start
// honours on its own command line): "/ADDDIR:" followed by a directory.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qs {

inline constexpr std::string_view kAddDirMarker = "/ADDDIR:";

// The directory named by a command-line text: everything after the first "/ADDDIR:" with every
// double quote removed and blanks kept; it may be empty, which the caller reports. nullopt when
// there is no command: an empty text or a text without the marker.
std::optional<std::string> ParseAddDirCommand(std::string_view text);

}  // namespace qs
