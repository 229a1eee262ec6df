#include "app/quarrystream_app.h"

#include <QApplication>
#include <cstdio>
#include <memory>
#include <mutex>

#include "app/command_options.h"
#include "app/display_probe.h"
#include "app/main_window.h"
#include "app/program_version.h"
#include "app/qt_desktop_dialogs.h"
#include "app/signal_watcher.h"
#include "config/ini_settings_store.h"
#include "config/user_messages.h"
#include "platform/autostart.h"
#include "platform/crash_handler.h"
#include "platform/event_log.h"
#include "platform/executable_paths.h"
#include "platform/file_system.h"
#include "platform/instance_channel.h"
#include "platform/profile_paths.h"
#include "platform/scan_lock.h"
#include "platform/single_instance.h"
#include "settings_ui/settings_dialog.h"

namespace qs {

namespace {

// The report names no recipient: nothing is mailed.
constexpr char kCrashRecipient[] = "";

bool OnCrash(CrashHandler* /*state*/) {
  return true;  // no files added to the report
}

// Carries SIGTERM and SIGINT from the signal watcher's thread to the main window, which then ends
// without asking; a request before the window is ready waits for it.
class TerminateForwarder {
 public:
  void Request() {
    std::lock_guard lock(mutex_);
    if (window_ == nullptr) {
      pending_ = true;
      return;
    }
    Post();
  }
  void Attach(MainWindow* window) {
    std::lock_guard lock(mutex_);
    window_ = window;
    if (pending_) {
      pending_ = false;
      Post();
    }
  }
  void Detach() {
    std::lock_guard lock(mutex_);
    window_ = nullptr;
  }

 private:
  void Post() {
    MainWindow* window = window_;
    QMetaObject::invokeMethod(
        window, [window] { window->OnTerminateRequest(); }, Qt::QueuedConnection);
  }

  std::mutex mutex_;
  MainWindow* window_ = nullptr;
  bool pending_ = false;
};

}  // namespace

SecondInstanceResult HandleSecondInstance(const std::string& command_line,
                                          const std::string& channel_path, UserMessages& messages) {
  if (command_line.empty()) {
    return SecondInstanceResult::kNothingToSend;
  }
  // The whole text goes, however long: the message length is part of the frame.
  if (SendToRunningInstance(channel_path, command_line) == SendResult::kHandled) {
    return SecondInstanceResult::kHandled;
  }
  messages.ShowMessage("Error could not find mainwnd and mutex is set :S", kApplicationTitle);
  return SecondInstanceResult::kNotFound;
}

int QuarrystreamApp::Run(const CommandOptions& options, int argc, char** argv) {
  // Before any thread exists, so that every thread leaves the signals to the watcher.
  TerminateForwarder terminate;
  const SignalWatcher signal_watcher([&terminate](int) { terminate.Request(); });

  // The platform's sockets layer needs no start-up here. A display does: Qt would end the
  // process without one.
  if (!DisplayAvailable()) {
    std::fprintf(stderr, "%s\n", NoDisplayMessage().c_str());
    return 2;
  }
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);

  // The main window object, not yet shown, with what it owns.
  const ProfileLocation profile = ResolveProfile(options.profile);
  std::unique_ptr<SettingsStore> settings = OpenProfileSettings(profile.settings_file);
  Autostart autostart;
  QtDesktopDialogs dialogs(
      [&settings, &autostart](QWidget* owner) { RunSettingsDialog(owner, *settings, autostart); });
  InstanceLock lock(InstanceLockPath());
  const EventLog log(DefaultLogPath(), "quarrystream");
  const AppServices services{*settings, RealFileSystem(), ExecutableDirectory(), &log};
  MainWindow window({.services = services,
                     .dirs_path = profile.dirs_cfg,
                     .dialogs = &dialogs,
                     .command_line = options.desktop_command,
                     .lock = &lock,
                     .channel_path = InstanceChannelPath()});

  // The profile's key.
  QCoreApplication::setOrganizationName(
      QString::fromUtf8(kApplicationTitle.data(), kApplicationTitle.size()));
  // The lock. Its holder keeps it through the window's initialisation, which takes it
  // "again" without a gap in which a third start could slip in.
  const bool another_instance = !lock.TryAcquire();
  // The crash reporter, kept for the life of the process.
  CrashHandler::Install(OnCrash, kCrashRecipient,
                        "Quarrystream CrashReport v" + std::string(kFileVersionText));
  if (another_instance) {
    return HandleSecondInstance(options.desktop_command, InstanceChannelPath(), dialogs) ==
                   SecondInstanceResult::kNotFound
               ? 1
               : 0;
  }
  EnsureParentDirectory(profile.dirs_cfg);
  // One process scans a watch list: a runner already scanning this one keeps the window out.
  ScanLock scan_lock(profile.dirs_cfg);
  if (!scan_lock.TryAcquire()) {
    static_cast<UserMessages&>(dialogs).ShowMessage(
        "The watch list " + profile.dirs_cfg + " is scanned by process " +
        std::to_string(scan_lock.HolderPid()) +
        " already: stop it with `systemctl --user stop quarrystream` to use the "
        "window.");
    return kExitAnotherScans;
  }
  terminate.Attach(&window);
  window.RunModal();
  terminate.Detach();
  return 0;
}

}  // namespace qs
