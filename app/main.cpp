// quarrystream: the desktop program, the headless runner and the watch-list commands.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/command_options.h"
#include "app/console_messages.h"
#include "app/headless_runner.h"
#include "app/qt_settings_store.h"
#include "app/quarrystream_app.h"
#include "app/signal_watcher.h"
#include "app/watch_list_commands.h"
#include "config/watch_list.h"
#include "config/watch_list_editor.h"
#include "platform/executable_paths.h"
#include "platform/file_system.h"
#include "platform/process_setup.h"
#include "platform/profile_paths.h"

namespace {

std::unique_ptr<qs::QtSettingsStore> OpenSettings(const qs::ProfileLocation& profile) {
  if (profile.settings_file.empty())
    return std::make_unique<qs::QtSettingsStore>();
  return std::make_unique<qs::QtSettingsStore>(QString::fromStdString(profile.settings_file));
}

}  // namespace

int main(int argc, char** argv) {
  qs::IgnoreLeaseSignals();

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
    case qs::RunMode::kDesktop: {
      qs::QuarrystreamApp desktop;
      return desktop.Run(options, argc, argv);
    }
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
  qs::HeadlessRunner runner(setup);
  // Before any worker thread, so that every thread inherits the blocked signals.
  qs::SignalWatcher signal_watcher([&runner](int) { runner.RequestQuit(); });
  return options.mode == qs::RunMode::kHeadless ? runner.RunContinuous() : runner.RunOnce();
}
