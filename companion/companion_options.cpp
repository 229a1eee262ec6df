#include "companion/companion_options.h"

#include <cctype>
#include <cstddef>

namespace qs {

namespace {

constexpr std::string_view kAddRar = "/ADDRAR:";
constexpr std::string_view kDestination = "/DESTINATION:";
constexpr std::string_view kToTray = "/TOTRAY";

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) {
    return false;
  }
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) != prefix[i]) {
      return false;
    }
  }
  return true;
}

bool IsHelp(std::string_view arg) {
  return arg == "--help" || arg == "-h" || arg == "/?" ||
         (arg.size() == 5 && StartsWithIgnoringCase(arg, "/HELP"));
}

ParsedOptions UsageError(std::string error) {
  ParsedOptions parsed;
  parsed.status = OptionsStatus::kUsageError;
  parsed.error = std::move(error);
  return parsed;
}

// Stores the value after `prefix`; a repeated or empty value is an error.
bool TakeValue(std::string_view arg, std::string_view prefix, bool& seen, std::string& value,
               std::string& error) {
  if (seen) {
    error = std::string(prefix) + " given more than once";
    return false;
  }
  seen = true;
  value.assign(arg.substr(prefix.size()));
  if (value.empty()) {
    error = std::string(prefix) + " needs a value";
    return false;
  }
  return true;
}

}  // namespace

ParsedOptions ParseCompanionOptions(const std::vector<std::string_view>& args) {
  for (std::string_view arg : args) {
    if (IsHelp(arg)) {
      ParsedOptions parsed;
      parsed.status = OptionsStatus::kHelp;
      return parsed;
    }
  }

  CompanionOptions options;
  bool have_archive = false;
  bool have_destination = false;
  std::string error;
  for (std::string_view arg : args) {
    if (StartsWithIgnoringCase(arg, kAddRar)) {
      if (!TakeValue(arg, kAddRar, have_archive, options.first_volume, error)) {
        return UsageError(std::move(error));
      }
    } else if (StartsWithIgnoringCase(arg, kDestination)) {
      if (!TakeValue(arg, kDestination, have_destination, options.destination, error)) {
        return UsageError(std::move(error));
      }
    } else if (arg.size() == kToTray.size() && StartsWithIgnoringCase(arg, kToTray)) {
      options.quiet = true;
    } else {
      return UsageError("unknown argument \"" + std::string(arg) + "\"");
    }
  }
  if (!have_archive) {
    return UsageError("missing /ADDRAR:<first volume>");
  }
  if (!have_destination) {
    return UsageError("missing /DESTINATION:<directory>");
  }

  ParsedOptions parsed;
  parsed.status = OptionsStatus::kRun;
  parsed.options = std::move(options);
  return parsed;
}

std::string_view CompanionUsage() {
  return "Usage: mirrowen /ADDRAR:<first volume> /DESTINATION:<directory> [/TOTRAY]\n"
         "\n"
         "Extracts the archive set whose first volume is given into the directory,\n"
         "which is created when missing. The later volumes are found beside the first:\n"
         "  x.part01.rar  then x.part02.rar, x.part03.rar, ... (RAR, new names)\n"
         "  x.rar         then x.r00, x.r01, ...                (RAR, old names)\n"
         "  x.001         then x.002, x.003, ...                (split pieces)\n"
         "  x.zip, x.7z, x.tar, x.tar.gz ...  the file alone\n"
         "RAR sets that libarchive cannot read are handed to unar when it is installed.\n"
         "The set is extracted into a hidden staging folder in the directory and moved\n"
         "into place only when all of it extracted; existing files are never replaced\n"
         "(the new one gets a numbered name). Nothing is written outside the directory:\n"
         "entries that would leave it, device files, links whose target is absolute or\n"
         "holds \"..\", sparse files and trees deeper than 256 folders are refused.\n"
         "Each run is written to the log ($QUARRYSTREAM_LOG, or\n"
         "$XDG_STATE_HOME/Quarrystream/quarrystream.log); failures also raise a desktop\n"
         "notification.\n"
         "\n"
         "  /TOTRAY   quiet: no line per entry and no notification on success\n"
         "  --help    this text\n"
         "\n"
         "Exit status:\n"
         "  0  the set was extracted\n"
         "  1  some entries were refused; the rest were moved in\n"
         "  2  a wrong command line\n"
         "  3  the set could not be read or did not fit; nothing of it was moved in\n";
}

}  // namespace qs
