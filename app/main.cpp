// quarrystream: the desktop program, the headless runner and the watch-list commands. Only the
// desktop program needs Qt, and it is loaded from its module when it runs (desktop_module.h).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/command_options.h"
#include "app/console_messages.h"
#include "app/desktop_module.h"
#include "app/headless_runner.h"
#include "app/settings_commands.h"
#include "app/watch_list_commands.h"
#include "config/ini_settings_store.h"
#include "config/watch_list.h"
#include "config/watch_list_editor.h"
#include "platform/autostart.h"
#include "platform/event_log.h"
#include "platform/executable_paths.h"
#include "platform/file_system.h"
#include "platform/process_setup.h"
#include "platform/profile_paths.h"
#include "platform/scan_lock.h"
#include "scan/set_report.h"

namespace {

// A profile folder keeps the log too, and the companion started from here inherits the place.
// Before any thread exists: the environment is not safe to change once others may read it.
void SetLogForProfile(const std::optional<std::string>& profile_option) {
  if (!profile_option && std::getenv(qs::kProfileEnvironmentVariable) == nullptr)
    return;
  const qs::ProfileLocation profile = qs::ResolveProfile(profile_option);
  if (profile.settings_file.empty())
    return;
  const std::string folder = qs::DirectoryPart(profile.dirs_cfg);
  ::setenv(qs::kLogEnvironmentVariable, (folder + qs::kLogFileName).c_str(), 1);
}

// --status: every row as the last pass of the scanning process found it.
int PrintStatus(const qs::ProfileLocation& profile, qs::WatchListEditor& editor,
                const qs::WatchList& list) {
  qs::ScanLock lock(profile.dirs_cfg);
  std::string text;
  qs::ReadWholeFile(qs::RealFileSystem(), qs::LastPassReportPath(profile.dirs_cfg), text);
  if (text.empty()) {
    editor.LoadDirs();
    text = qs::FormatLastPass(list.Snapshot(), {});
    std::printf("No pass has ended yet for %s\n", profile.dirs_cfg.c_str());
  }
  std::fputs(text.c_str(), stdout);
  if (!lock.TryAcquire())
    std::printf("Scanned by process %ld\n", lock.HolderPid());
  else
    std::printf("No process scans this watch list now\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  qs::IgnoreLeaseSignals();
  qs::KeepFreedMemory();

  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const qs::ParseResult parsed = qs::ParseCommandOptions(arguments);
  if (!parsed.ok) {
    std::fprintf(stderr, "quarrystream: %s\nTry 'quarrystream --help' for more information.\n",
                 parsed.error.c_str());
    return 2;
  }
  const qs::CommandOptions& options = parsed.options;
  SetLogForProfile(options.profile);
  switch (options.mode) {
    case qs::RunMode::kHelp:
      std::fputs(qs::UsageText().c_str(), stdout);
      return 0;
    case qs::RunMode::kVersion:
      std::fputs(qs::VersionText().c_str(), stdout);
      return 0;
    case qs::RunMode::kDesktop:
      return qs::RunDesktopModule(argc, argv, options);
    default:
      break;
  }

  const qs::ProfileLocation profile = qs::ResolveProfile(options.profile);
  qs::EnsureParentDirectory(profile.dirs_cfg);
  auto settings = qs::OpenProfileSettings(profile.settings_file);
  qs::FileSystem& fs = qs::RealFileSystem();
  qs::WatchList list;
  qs::ConsoleMessages messages;
  qs::WatchListEditor editor(fs, profile.dirs_cfg, list, messages, *settings);

  if (options.mode == qs::RunMode::kSettings) {
    return qs::PrintSettings(*settings, stdout);
  }
  if (options.mode == qs::RunMode::kSet) {
    qs::Autostart autostart;
    return qs::SetSettings(*settings, options.assignments, autostart, qs::ExecutableDirectory(),
                           stdout, stderr);
  }
  if (options.mode == qs::RunMode::kStatus) {
    return PrintStatus(profile, editor, list);
  }
  if (options.mode != qs::RunMode::kHeadless && options.mode != qs::RunMode::kScanOnce) {
    return qs::RunWatchListCommand(options, editor, list, stdout, stderr);
  }

  // Held until the process ends; the kernel drops it should the process die.
  qs::ScanLock scan_lock(profile.dirs_cfg);
  if (!scan_lock.TryAcquire()) {
    std::fprintf(stderr, "quarrystream: process %ld already scans the watch list %s\n",
                 scan_lock.HolderPid(), profile.dirs_cfg.c_str());
    return qs::kExitAnotherScans;
  }
  const qs::EventLog log(qs::DefaultLogPath(), "quarrystream");

  const qs::AppServices services{*settings, fs, qs::ExecutableDirectory(), &log};
  const qs::HeadlessSetup setup{.services = services,
                                .list = &list,
                                .editor = &editor,
                                .live = isatty(STDOUT_FILENO) != 0,
                                .quit_on_signals = true,
                                .report_path = qs::LastPassReportPath(profile.dirs_cfg)};
  // Before any worker thread, so that every thread inherits the blocked signals.
  qs::HeadlessRunner runner(setup);
  return runner.Run(options.mode == qs::RunMode::kHeadless ? qs::PassMode::kHeadless
                                                           : qs::PassMode::kOnePass);
}
