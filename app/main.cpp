// quarrystream: the desktop program, the headless runner and the watch-list commands. Only the
// desktop program needs Qt, and it is loaded from its module when it runs (desktop_module.h).
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/command_options.h"
#include "app/console_messages.h"
#include "app/desktop_module.h"
#include "app/headless_runner.h"
#include "app/watch_list_commands.h"
#include "config/settings_store.h"
#include "config/watch_list.h"
#include "config/watch_list_editor.h"
#include "platform/executable_paths.h"
#include "platform/file_system.h"
#include "platform/process_setup.h"
#include "platform/profile_paths.h"

#ifdef _WIN32
#include "app/qt_settings_store.h"
#else
#include "config/ini_settings_store.h"
#endif

namespace {

// The settings file the desktop program and the companion use, read as QSettings reads it. On
// Windows QSettings keeps the default profile in the registry, which only QSettings reads.
std::unique_ptr<qs::SettingsStore> OpenSettings(const qs::ProfileLocation& profile) {
#ifdef _WIN32
  if (profile.settings_file.empty())
    return std::make_unique<qs::QtSettingsStore>();
  return std::make_unique<qs::QtSettingsStore>(QString::fromStdString(profile.settings_file));
#else
  return std::make_unique<qs::IniSettingsStore>(
      qs::RealFileSystem(),
      profile.settings_file.empty() ? qs::MirrowenSettingsFile() : profile.settings_file);
#endif
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
  auto settings = OpenSettings(profile);
  qs::FileSystem& fs = qs::RealFileSystem();
  qs::WatchList list;
  qs::ConsoleMessages messages;
  qs::WatchListEditor editor(fs, profile.dirs_cfg, list, messages, *settings);

  if (options.mode != qs::RunMode::kHeadless && options.mode != qs::RunMode::kScanOnce) {
    return qs::RunWatchListCommand(options, editor, list, stdout, stderr);
  }

  qs::HeadlessSetup setup;
  setup.list = &list;
  setup.editor = &editor;
  setup.settings = settings.get();
  setup.fs = &fs;
  setup.executable_directory = qs::ExecutableDirectory();
  setup.out = stdout;
  setup.live = isatty(STDOUT_FILENO) != 0;
  setup.quit_on_signals = true;
  // Before any worker thread, so that every thread inherits the blocked signals.
  qs::HeadlessRunner runner(setup);
  return options.mode == qs::RunMode::kHeadless ? runner.RunContinuous() : runner.RunOnce();
}
