// The desktop program's start-up: one running instance per user. The first start takes the
// lock and runs the main window until it quits; a later start hands its command line to the
// running instance over the local socket, waits until it has been handled, and ends.
#pragma once

#include <string>

namespace qs {

struct CommandOptions;
class UserMessages;

enum class SecondInstanceResult {
  kNothingToSend,  // an empty command line: the running instance is not told
  kHandled,        // the running instance handled the command
  kNotFound,       // nobody answered: "Error could not find mainwnd and mutex is set :S"
};

// The second-instance path: sends `command_line` to the instance listening at `channel_path`
// and blocks until it answers.
SecondInstanceResult HandleSecondInstance(const std::string& command_line,
                                          const std::string& channel_path, UserMessages& messages);

class QuarrystreamApp {
 public:
  // The start-up in its order: the display check (Qt cannot start without one), the main window
  // object, the profile key, the lock, the crash reporter, then either the second-instance path
  // or the main window. Returns the exit status: 0, 1 when a later start found no instance to
  // hand its command to, 2 without a display, 4 (kExitAnotherScans) when another process scans
  // the watch list.
  int Run(const CommandOptions& options, int argc, char** argv);
};

}  // namespace qs
