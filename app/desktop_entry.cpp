// The entry point of the desktop module (libquarrystream_desktop.so), which main() loads only to
// show the window.
#include <type_traits>

#include "app/command_options.h"
#include "app/desktop_module.h"
#include "app/quarrystream_app.h"

extern "C" __attribute__((visibility("default"))) int QuarrystreamDesktopMain(
    int argc, char** argv, const qs::CommandOptions* options) {
  static_assert(std::is_same_v<decltype(&QuarrystreamDesktopMain), qs::DesktopEntry>);
  qs::QuarrystreamApp desktop;
  return desktop.Run(*options, argc, argv);
}
