#include "tests/app/desktop_test_support.h"

#include <sys/stat.h>

#include <QAction>
#include <QCoreApplication>

#include "scan/scan_controller.h"

namespace qs::test {

void ScriptedDialogs::Opened() {
  if (on_open) {
    on_open();
  }
}

void ScriptedDialogs::ShowMessage(std::string_view text, std::string_view caption,
                                  MessageIcon icon) {
  shown.push_back({std::string(text), std::string(caption), icon, false});
  Opened();
}

bool ScriptedDialogs::AskYesNo(std::string_view text, std::string_view caption) {
  shown.push_back({std::string(text), std::string(caption), MessageIcon::kQuestion, true});
  Opened();
  if (answers.empty()) {
    ADD_FAILURE() << "unexpected question: " << text;
    return false;
  }
  const bool answer = answers.front();
  answers.pop_front();
  return answer;
}

std::string ScriptedDialogs::BrowseForDirectory(std::string_view prompt) {
  prompts.emplace_back(prompt);
  Opened();
  if (directories.empty()) {
    ADD_FAILURE() << "unexpected folder browser: " << prompt;
    return {};
  }
  std::string answer = directories.front();
  directories.pop_front();
  return answer;
}

std::optional<std::string> ScriptedDialogs::BrowseForProgram() {
  Opened();
  return program;
}

void ScriptedDialogs::RunSettingsDialog() {
  ++settings_runs;
  Opened();
}

void ScriptedDialogs::RunAboutBox() {
  ++about_runs;
  Opened();
}

SystemError ObservedFileSystem::OpenForVerify(const std::string& path,
                                              std::unique_ptr<ReadableFile>& file) {
  return RealFileSystem().OpenForVerify(path, file);
}
SystemError ObservedFileSystem::OpenForReading(const std::string& path,
                                               std::unique_ptr<ReadableFile>& file) {
  return RealFileSystem().OpenForReading(path, file);
}
bool ObservedFileSystem::ListDirectory(const std::string& directory,
                                       std::vector<DirectoryEntry>& entries) {
  return RealFileSystem().ListDirectory(directory, entries);
}
SystemError ObservedFileSystem::WriteFileAtomically(const std::string& path,
                                                    std::string_view content) {
  if (before_write) {
    before_write(path);
  }
  return RealFileSystem().WriteFileAtomically(path, content);
}
SystemError ObservedFileSystem::CreateEmptyFile(const std::string& path) {
  return RealFileSystem().CreateEmptyFile(path);
}
SystemError ObservedFileSystem::MoveFileNoReplace(const std::string& from, const std::string& to) {
  return RealFileSystem().MoveFileNoReplace(from, to);
}
SystemError ObservedFileSystem::DeleteFile(const std::string& path) {
  return RealFileSystem().DeleteFile(path);
}

void ObservedSettings::WriteInt(std::string_view key, std::int32_t value) {
  if (before_write) {
    before_write(key);
  }
  store.WriteInt(key, value);
}

void ObservedSettings::WriteText(std::string_view key, std::string_view value) {
  if (before_write) {
    before_write(key);
  }
  store.WriteText(key, value);
}

std::string MenuItems(const QMenu* menu) {
  std::string items;
  for (const QAction* action : menu->actions()) {
    items += (items.empty() ? "" : "|") +
             (action->isSeparator()
                  ? std::string("-")
                  : action->text().toStdString() + '=' + std::to_string(action->data().toInt()));
  }
  return items;
}

DesktopTest::DesktopTest() : lock_(dir_.Path("runtime/Quarrystream")) {
  dir_.MakeDir("profile");
  dir_.MakeDir("runtime");
  ::chmod(RuntimeDir().c_str(), 0700);
}

void DesktopTest::WriteDirs(std::string_view content) const {
  dir_.WriteFile("profile/dirs.cfg", content);
}

std::unique_ptr<MainWindow> DesktopTest::MakeWindow(std::string command_line,
                                                    std::unique_ptr<TrayShell> tray) {
  MainWindowSetup setup{.services = services_, .dirs_path = DirsPath(), .dialogs = &dialogs_};
  setup.command_line = std::move(command_line);
  setup.lock = &lock_;
  setup.channel_path = ChannelPath();
  setup.start_command = [this](const std::vector<std::string>& arguments) {
    std::lock_guard lock(started_mutex_);
    started_.push_back(arguments);
    return SystemError{};
  };
  // The companion program is never started for real.
  setup.start_companion = [](std::string_view) { return SystemError{}; };
  setup.sleeper = &sleeper_;
  setup.tray_shell = std::move(tray);
  return std::make_unique<MainWindow>(std::move(setup));
}

void DesktopTest::FinishPass(MainWindow& window) {
  window.Controller().StopScan();
  // The worker's last message, WM_SCAN_STOPPED, wakes the loop and releases it.
  while (window.Controller().HasWorker()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

std::vector<std::vector<std::string>> DesktopTest::PostExecutionStarts() {
  std::lock_guard lock(started_mutex_);
  return started_;
}

}  // namespace qs::test
