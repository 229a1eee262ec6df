// The program's command line: which mode to run and with which profile.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qs {

enum class RunMode {
  kDesktop,  // no mode option: the window (arguments such as /ADDDIR: are passed on)
  kHeadless,
  kScanOnce,
  kList,
  kAdd,
  kRemove,
  kInclude,
  kStatus,
  kSettings,
  kSet,
  kHelp,
  kVersion,
};

struct CommandOptions {
  RunMode mode = RunMode::kDesktop;
  std::optional<std::string> profile;
  std::string source;                    // --add
  std::string destination;               // --add
  std::size_t row = 0;                   // --remove, --include
  int include = 0;                       // --include
  std::vector<std::string> assignments;  // --set KEY=VALUE...
  // What the desktop program receives as its own command-line text ("/ADDDIR:...").
  std::string desktop_command;
};

struct ParseResult {
  bool ok = false;
  CommandOptions options;
  std::string error;  // a one-line message for bad usage
};

ParseResult ParseCommandOptions(const std::vector<std::string>& arguments);

// The exit status of --headless, --scan-once and the window when another process already scans
// the same watch list.
inline constexpr int kExitAnotherScans = 4;

std::string UsageText();
std::string VersionText();

}  // namespace qs
