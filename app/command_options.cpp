#include "app/command_options.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <string_view>

namespace qs {

namespace {

bool ParseRow(std::string_view text, std::size_t& row) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, row);
  return ec == std::errc() && ptr == end && !text.empty();
}

struct ModeOption {
  std::string_view name;
  RunMode mode;
};

constexpr ModeOption kModeOptions[] = {
    {"--help", RunMode::kHelp},         {"-h", RunMode::kHelp},
    {"--version", RunMode::kVersion},   {"-V", RunMode::kVersion},
    {"--headless", RunMode::kHeadless}, {"--scan-once", RunMode::kScanOnce},
    {"--list", RunMode::kList},         {"--status", RunMode::kStatus},
    {"--settings", RunMode::kSettings}, {"--set", RunMode::kSet},
    {"--add", RunMode::kAdd},           {"--remove", RunMode::kRemove},
    {"--include", RunMode::kInclude},
};

ParseResult Fail(std::string message) {
  ParseResult result;
  result.error = std::move(message);
  return result;
}

}  // namespace

ParseResult ParseCommandOptions(const std::vector<std::string>& arguments) {
  ParseResult result;
  CommandOptions& options = result.options;
  bool mode_set = false;
  std::vector<std::string> rest;

  auto set_mode = [&](RunMode mode, std::string_view name) -> bool {
    if (mode_set && options.mode != mode) {
      result.error = "only one of the mode options may be given (" + std::string(name) + ")";
      return false;
    }
    options.mode = mode;
    mode_set = true;
    return true;
  };

  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    auto needs = [&](std::size_t count) { return i + count < arguments.size(); };
    const ModeOption* mode =
        std::find_if(std::begin(kModeOptions), std::end(kModeOptions),
                     [&](const ModeOption& option) { return arg == option.name; });
    if (mode != std::end(kModeOptions) && !set_mode(mode->mode, arg)) {
      return result;
    }
    if (arg == "--set") {
      // Every following KEY=VALUE belongs to it; a value may itself begin with "--".
      while (needs(1) && arguments[i + 1].find('=') != std::string::npos &&
             !arguments[i + 1].starts_with("--")) {
        options.assignments.push_back(arguments[++i]);
      }
      if (options.assignments.empty())
        return Fail("--set needs at least one KEY=VALUE (see --settings for the keys)");
    } else if (arg == "--profile" || arg.starts_with("--profile=")) {
      if (arg == "--profile") {
        if (!needs(1))
          return Fail("--profile needs a folder");
        options.profile = arguments[++i];
      } else {
        options.profile = arg.substr(std::string_view("--profile=").size());
      }
      if (options.profile->empty())
        return Fail("--profile needs a folder");
    } else if (arg == "--add") {
      if (!needs(2))
        return Fail("--add needs a SOURCE and a DESTINATION folder");
      options.source = arguments[++i];
      options.destination = arguments[++i];
      if (options.source.empty() || options.destination.empty()) {
        return Fail("--add needs a SOURCE and a DESTINATION folder");
      }
    } else if (arg == "--remove") {
      if (!needs(1) || !ParseRow(arguments[i + 1], options.row)) {
        return Fail("--remove needs a ROW number as --list prints it");
      }
      ++i;
    } else if (arg == "--include") {
      if (!needs(2) || !ParseRow(arguments[i + 1], options.row) ||
          (arguments[i + 2] != "0" && arguments[i + 2] != "1")) {
        return Fail("--include needs a ROW number and 0 or 1");
      }
      options.include = arguments[i + 2] == "1" ? 1 : 0;
      i += 2;
    } else if (mode == std::end(kModeOptions)) {
      if (arg.starts_with("--"))
        return Fail("unknown option " + arg);
      rest.push_back(arg);
    }
  }

  if (!rest.empty()) {
    if (options.mode != RunMode::kDesktop) {
      return Fail("unexpected argument " + rest.front());
    }
    // The desktop program takes its command line as one text, as a second start forwards it.
    for (const std::string& part : rest) {
      if (!options.desktop_command.empty())
        options.desktop_command += ' ';
      options.desktop_command += part;
    }
  }
  result.ok = true;
  return result;
}

std::string UsageText() {
  return "Usage: quarrystream [OPTION]... [/ADDDIR:FOLDER]\n"
         "Watches download folders for finished multi-volume archive sets, verifies them\n"
         "against their SFV files and hands complete sets to the extraction program.\n"
         "\n"
         "Without a mode option the desktop program starts; a second start hands its\n"
         "command line to the running one. /ADDDIR:FOLDER adds FOLDER to the watch list\n"
         "after asking for its destination.\n"
         "\n"
         "Modes (at most one):\n"
         "      --headless               run scan passes on the countdown in the terminal\n"
         "                               until SIGINT or SIGTERM\n"
         "      --scan-once              run one scan pass and exit (0 after a normal end,\n"
         "                               1 after an early end)\n"
         "      --list                   print the watch list: row, include flag, source,\n"
         "                               destination (tab-separated)\n"
         "      --status                 print what the last pass found of each row's sets\n"
         "      --add SOURCE DESTINATION add an included watch entry (paths made absolute)\n"
         "      --remove ROW             remove the watch entry in ROW (as --list prints it)\n"
         "      --include ROW 0|1        exclude (0) or include (1) the entry in ROW\n"
         "      --settings               print every setting as KEY=VALUE, marking defaults\n"
         "      --set KEY=VALUE...       change settings with the settings dialog's rules:\n"
         "                               ReScan 5 to 1500, ConfirmationLevel any integer,\n"
         "                               PostExecution any text, the switches 0 or 1;\n"
         "                               AutoRunAtStartup=1 also writes the autostart entry\n"
         "                               and sets HideToTray=1. Nothing is written when any\n"
         "                               assignment is refused (exit status 2)\n"
         "  -h, --help                   show this help and exit\n"
         "  -V, --version                show the version and exit\n"
         "\n"
         "Options:\n"
         "      --profile DIR            keep the watch list (DIR/dirs.cfg) and the settings\n"
         "                               (DIR/Mirrowen.conf) in DIR; the environment variable\n"
         "                               QUARRYSTREAM_PROFILE does the same\n"
         "\n"
         "Events (sets handed off, failed CRCs, programs that could not be started, early\n"
         "ends) are logged to $XDG_STATE_HOME/Quarrystream/quarrystream.log, or to\n"
         "DIR/quarrystream.log with --profile DIR.\n"
         "\n"
         "Exit status: 0 on success, 1 on failure or an early end, 2 on bad usage, 4 when\n"
         "another process already scans the watch list (the window, --headless or\n"
         "--scan-once: one process scans a watch list at a time).\n";
}

std::string VersionText() {
  return "quarrystream 0.1.1 (build 137)\n";
}

}  // namespace qs
