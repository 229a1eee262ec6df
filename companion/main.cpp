// mirrowen: extracts the archive set that Quarrystream hands over when it has verified it.
// Started detached with stdin on /dev/null, so it never asks anything: it reports to the log,
// the desktop and its output streams, and exits with a status that says how it went.
#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <cstring>
#include <iostream>
#include <string_view>
#include <vector>

#include "companion/companion_options.h"
#include "companion/companion_run.h"
#include "companion/desktop_notice.h"
#include "companion/printable.h"
#include "platform/event_log.h"

namespace {

// Archive names are converted to the locale's character set; the plain C locale would turn
// every non-ASCII name into a conversion failure.
void UseLocaleNames() {
  std::setlocale(LC_CTYPE, "");
  if (std::strcmp(nl_langinfo(CODESET), "ANSI_X3.4-1968") == 0) {
    std::setlocale(LC_CTYPE, "C.UTF-8");
  }
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
      return qs::kExitExtracted;
    case qs::OptionsStatus::kUsageError:
      std::cerr << "mirrowen: " << qs::Printable(parsed.error) << '\n' << qs::CompanionUsage();
      return qs::kExitUsage;
    case qs::OptionsStatus::kRun:
      break;
  }
  qs::RunEnvironment environment;
  environment.log_path = qs::DefaultLogPath();
  environment.terminal = isatty(STDOUT_FILENO) != 0;
  environment.notify = [](std::string_view summary, std::string_view body, bool failure) {
    qs::NotifyDesktop(summary, body, failure);
  };
  return qs::RunCompanion(parsed.options, environment);
}
