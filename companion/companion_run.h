// One run of the companion: find the set's volumes, read it with libarchive (or with unar for a
// RAR set libarchive cannot read) into a staging folder, check it, move it into place, and
// report to the log, the terminal and the desktop.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "companion/companion_options.h"

namespace qs {

enum ExitStatus : int {
  kExitExtracted = 0,
  kExitRefused = 1,  // some entries were refused; the rest moved in
  kExitUsage = 2,
  kExitFailed = 3,  // the set could not be read or did not fit; nothing of it was moved in
};

struct RunEnvironment {
  std::string log_path;
  std::string unar_program = "unar";
  bool terminal = false;  // stdout is a terminal: one progress line instead of a line per entry
  // Raises a desktop notification; may be empty.
  std::function<void(std::string_view summary, std::string_view body, bool failure)> notify;
};

// The exit status; messages go to stdout (progress, unless quiet) and stderr (problems).
int RunCompanion(const CompanionOptions& options, const RunEnvironment& environment);

}  // namespace qs
