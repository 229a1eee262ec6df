// Whether a graphical session can be reached, asked before Qt is: Qt's platform plug-in ends
// the process when it finds no display, and the user should get one clear line instead.
#pragma once

#include <string>

namespace qs {

// True when QT_QPA_PLATFORM names a platform that needs no display server, when the Wayland
// socket of WAYLAND_DISPLAY accepts a connection, or when DISPLAY names a local X server that
// accepts one (or a remote one, which is taken on trust).
bool DisplayAvailable();

// The line printed when there is none.
std::string NoDisplayMessage();

}  // namespace qs
