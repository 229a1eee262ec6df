// The desktop program lives in a module of its own beside the executable, loaded only when the
// window is to be shown: the headless modes and the watch-list commands then start without
// loading Qt at all, in a few milliseconds.
#pragma once

namespace qs {

struct CommandOptions;

// The module's file name and its one entry point: runs the desktop program as
// QuarrystreamApp::Run does and returns its exit status.
inline constexpr const char* kDesktopModuleName = "libquarrystream_desktop.so";
inline constexpr const char* kDesktopEntryName = "QuarrystreamDesktopMain";
using DesktopEntry = int (*)(int argc, char** argv, const CommandOptions* options);

// Loads the module from the executable's folder and runs the desktop program. When the module
// cannot be loaded, says why on standard error and returns 2.
int RunDesktopModule(int argc, char** argv, const CommandOptions& options);

}  // namespace qs
