#include "app/display_probe.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/unique_fd.h"

namespace qs {

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

// `abstract` uses the Linux abstract namespace, where X servers listen as well.
bool Accepts(const std::string& path, bool abstract) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::size_t offset = abstract ? 1 : 0;
  if (path.empty() || path.size() + offset >= sizeof address.sun_path) {
    return false;
  }
  std::memcpy(address.sun_path + offset, path.data(), path.size());
  const socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset +
                                                  path.size() + (abstract ? 0 : 1));
  const UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  return fd.Valid() &&
         ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), length) == 0;
}

bool WaylandAvailable() {
  const std::string name = Environment("WAYLAND_DISPLAY");
  if (name.empty()) {
    return false;
  }
  if (name.front() == '/') {
    return Accepts(name, false);
  }
  const std::string runtime = Environment("XDG_RUNTIME_DIR");
  return !runtime.empty() && Accepts(runtime + "/" + name, false);
}

bool X11Available() {
  const std::string display = Environment("DISPLAY");
  const std::size_t colon = display.rfind(':');
  if (display.empty() || colon == std::string::npos) {
    return false;
  }
  const std::string host = display.substr(0, colon);
  std::string number = display.substr(colon + 1);
  number = number.substr(0, number.find('.'));
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  if (!host.empty() && host.front() == '/') {
    return Accepts(host + ":" + number, false);  // a socket path, as some systems set it
  }
  if (!host.empty() && host != "unix") {
    return true;  // a server over the network: only Qt can tell
  }
  const std::string socket = "/tmp/.X11-unix/X" + number;
  return Accepts(socket, false) || Accepts(socket, true);
}

}  // namespace

bool DisplayAvailable() {
  const std::string platform = Environment("QT_QPA_PLATFORM");
  if (!platform.empty() && !std::string_view(platform).starts_with("xcb") &&
      !std::string_view(platform).starts_with("wayland")) {
    return true;
  }
  return WaylandAvailable() || X11Available();
}

std::string NoDisplayMessage() {
  return "quarrystream: no display to show the window on (DISPLAY or WAYLAND_DISPLAY is not set "
         "or not reachable); run 'quarrystream --headless' to watch the folders without one";
}

}  // namespace qs
