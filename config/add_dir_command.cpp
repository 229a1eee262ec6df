#include "config/add_dir_command.h"

namespace qs {

std::optional<std::string> ParseAddDirCommand(std::string_view text) {
  // A text without the marker is ignored rather than read from where the marker would end:
  // any other argument (a stray option, a file name) would otherwise be added as a directory.
  const std::size_t marker = text.find(kAddDirMarker);
  if (text.empty() || marker == std::string_view::npos) {
    return std::nullopt;
  }
  std::string path;
  for (char c : text.substr(marker + kAddDirMarker.size())) {
    if (c != '"') {
      path += c;
    }
  }
  return path;
}

}  // namespace qs
