// A desktop notification through the freedesktop notification service on the session bus, for a
// program that runs detached with nobody watching its output.
#pragma once

#include <string_view>

namespace qs {

// False when there is no session bus or no notification service answered; never blocks for
// more than a few seconds.
bool NotifyDesktop(std::string_view summary, std::string_view body, bool failure);

}  // namespace qs
