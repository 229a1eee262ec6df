// The user's post-execution command for a complete set, run by the front end (window or
// headless runner) on its own thread when WM_SCAN_SETCOMPLETE arrives.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system_error.h"
#include "scan/scan_messages.h"

namespace qs {

// Starts already split arguments; the result is ignored. Tests record them instead.
using ArgumentsStarter = std::function<SystemError(const std::vector<std::string>&)>;

// Splits `field_text` into arguments first, then fills each argument: every "%1" with the SFV
// text's directory (up to and including its last separator, empty when it has none), then "%2"
// with the SFV text, then "%3" with the volume text. The split looks the program up as every
// command line is (ResolveCommandLine: an unquoted path with blanks is tried prefix by prefix);
// when no prefix names a program the text is split by the Windows rules alone. Because the
// split comes first, a quote or space in a downloaded name can never split or join arguments.
// An empty field starts nothing. Returns the arguments started (empty when none), and the
// start's result in `started` when given; the texts are released in every case.
std::vector<std::string> OnSetComplete(std::unique_ptr<SetCompleteTexts> texts,
                                       std::string_view field_text,
                                       const ArgumentsStarter& starter = {},
                                       SystemError* started = nullptr);

}  // namespace qs
