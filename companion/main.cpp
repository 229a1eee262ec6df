// mirrowen: extracts the archive set that Quarrystream hands over when it has verified it.
// Started detached with stdin on /dev/null, so it never asks anything: it reports and exits.
#include <langinfo.h>

#include <clocale>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "companion/companion_options.h"
#include "companion/extractor.h"
#include "companion/volume_set.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Archive names are converted to the locale's character set; the plain C locale would turn
// every non-ASCII name into a conversion failure.
void UseLocaleNames() {
  std::setlocale(LC_CTYPE, "");
  if (std::strcmp(nl_langinfo(CODESET), "ANSI_X3.4-1968") == 0) {
    std::setlocale(LC_CTYPE, "C.UTF-8");
  }
}

// Names come from downloads: control characters must not break the one-line-per-message rule.
std::string Printable(std::string_view text) {
  std::string shown(text);
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      c = '?';
    }
  }
  return shown;
}

void Report(std::string_view message) {
  std::cerr << "mirrowen: " << Printable(message) << '\n';
}

bool IsRegularFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

int Run(const qs::CompanionOptions& options) {
  const std::string& first = options.first_volume;
  std::error_code ec;
  if (first.back() == '/' || std::filesystem::is_directory(first, ec)) {
    Report("no first volume was found in " + first + ": nothing to extract");
    return kExitFailure;
  }
  if (!IsRegularFile(first)) {
    Report("cannot find the first volume " + first);
    return kExitFailure;
  }

  const std::vector<std::string> volumes = qs::FindVolumes(first, IsRegularFile);
  if (!options.quiet) {
    std::cout << "Extracting " << Printable(first) << " (" << volumes.size()
              << (volumes.size() == 1 ? " volume" : " volumes") << ") into "
              << Printable(options.destination) << '\n';
  }
  qs::ExtractionCallbacks callbacks;
  if (!options.quiet) {
    callbacks.on_entry = [](std::string_view name) {
      std::cout << "  " << Printable(name) << '\n';
    };
  }
  callbacks.on_problem = Report;

  const qs::ExtractionResult result =
      qs::ExtractArchiveSet(volumes, options.destination, callbacks);
  if (!result.error.empty()) {
    Report(first + ": " + result.error);
    return kExitFailure;
  }
  if (result.entries_skipped > 0) {
    Report(first + ": " + std::to_string(result.entries_skipped) + " of " +
           std::to_string(result.entries_skipped + result.entries_written) +
           " entries were not extracted");
    return kExitFailure;
  }
  if (!options.quiet) {
    std::cout << "Extracted " << result.entries_written << " entries\n";
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that went away must not kill the extraction half way.
  std::signal(SIGPIPE, SIG_IGN);
  UseLocaleNames();

  const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const qs::ParsedOptions parsed = qs::ParseCompanionOptions(args);
  switch (parsed.status) {
    case qs::OptionsStatus::kHelp:
      std::cout << qs::CompanionUsage();
      return 0;
    case qs::OptionsStatus::kUsageError:
      Report(parsed.error);
      std::cerr << qs::CompanionUsage();
      return kExitUsage;
    case qs::OptionsStatus::kRun:
      break;
  }
  return Run(parsed.options);
}
