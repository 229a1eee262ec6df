#include "platform/executable_paths.h"

#include <unistd.h>

#include <vector>

namespace qs {

std::string ExecutablePath() {
  // The link target can be longer than any fixed buffer; grow until it fits.
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) {
      return {};
    }
    if (static_cast<std::size_t>(length) < buffer.size()) {
      return std::string(buffer.data(), static_cast<std::size_t>(length));
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string ExecutableDirectory() {
  return DirectoryPart(ExecutablePath());
}

std::string DirectoryPart(std::string_view path) {
  const auto separator = path.find_last_of(kPathSeparator);
  if (separator == std::string_view::npos) {
    return {};
  }
  return std::string(path.substr(0, separator + 1));
}

}  // namespace qs
