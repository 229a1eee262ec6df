// Doubles and a fixture for the desktop program's tests: dialogs answered from a script and a
// main window built on a temporary profile with its own lock and socket, on the kit's file
// system over one whose saves a test can watch.
#pragma once

#include <stdio.h>
#include <sys/stat.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "app/desktop_dialogs.h"
#include "app/main_window.h"
#include "config/memory_settings_store.h"
#include "platform/posix_io_hooks.h"
#include "platform/single_instance.h"
#include "scan/scan_controller.h"
#include "scan/sleeper.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"

namespace qs::test {

class ScriptedDialogs final : public DesktopDialogs {
 public:
  std::deque<std::string> directories;  // the folder browser's answers; "" cancels
  std::deque<bool> answers;             // Yes (true) or No to each question
  std::optional<std::string> program;   // the program chooser's answer; nullopt cancels
  // Runs as each dialog opens, to look at the window while it waits for the user.
  std::function<void()> on_open = [] {};

  std::vector<std::string> shown;  // the texts of messages and questions
  std::vector<std::string> prompts;
  int close_alls = 0;  // CloseAll calls; the scripted dialogs answer as scripted all the same

  void SetOwner(QWidget*) override {}
  void ShowMessage(std::string_view text, std::string_view, MessageIcon) override {
    shown.emplace_back(text);
    on_open();
  }
  bool AskYesNo(std::string_view text, std::string_view) override {
    shown.emplace_back(text);
    on_open();
    if (answers.empty()) {
      ADD_FAILURE() << "unexpected question: " << text;
      return false;
    }
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::string BrowseForDirectory(std::string_view prompt) override {
    prompts.emplace_back(prompt);
    on_open();
    if (directories.empty()) {
      ADD_FAILURE() << "unexpected folder browser: " << prompt;
      return {};
    }
    std::string answer = directories.front();
    directories.pop_front();
    return answer;
  }
  std::optional<std::string> BrowseForProgram() override {
    on_open();
    return program;
  }
  void RunSettingsDialog() override { on_open(); }
  void RunAboutBox() override { on_open(); }
  void CloseAll() override { ++close_alls; }
};

class NoSleeper final : public Sleeper {
 public:
  void SleepFor(std::chrono::milliseconds) override {}
};

// A main window on a temporary profile: dirs.cfg, a private runtime folder with the lock and
// the socket, and scripted dialogs.
class DesktopTest : public ::testing::Test {
 protected:
  DesktopTest() {
    dir_.MakeDir("profile");
    ::chmod(dir_.MakeDir("runtime").c_str(), 0700);
  }

  std::string DirsPath() const { return dir_.Path("profile/dirs.cfg"); }
  std::string RuntimeDir() const { return dir_.Path("runtime"); }
  std::string LockPath() const { return RuntimeDir() + "/Quarrystream"; }
  std::string ChannelPath() const { return RuntimeDir() + "/QuarrystreamWnd"; }
  void WriteDirs(std::string_view content) const { dir_.WriteFile("profile/dirs.cfg", content); }
  std::string ReadDirs() const { return ReadFile(DirsPath()); }

  std::unique_ptr<MainWindow> MakeWindow(std::string command_line = {}) {
    MainWindowSetup setup{.services = services_, .dirs_path = DirsPath(), .dialogs = &dialogs_};
    setup.command_line = std::move(command_line);
    setup.lock = &lock_;
    setup.channel_path = ChannelPath();
    // Neither the post-execution command nor the companion program is started for real.
    setup.start_command = [](const std::vector<std::string>&) { return SystemError{}; };
    setup.start_companion = [](std::string_view) { return SystemError{}; };
    setup.sleeper = &sleeper_;
    return std::make_unique<MainWindow>(std::move(setup));
  }
  // Stops the worker, unless a stop is under way, and handles the window's events until the
  // worker is released; every message it posted has then reached the window.
  static void FinishPass(MainWindow& window) {
    window.Controller().StopScan();
    while (window.Controller().HasWorker()) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
  }

  TempDir dir_;
  MemorySettingsStore settings_;
  // Runs as each whole-file write replaces its file (its path).
  std::function<void(const std::string&)> before_save = [](const std::string&) {};
  std::unique_ptr<FileSystem> posix_ = MakePosixFileSystem(
      {.write = {}, .fsync = {}, .rename = [this](const char* from, const char* to) {
         before_save(to);
         return ::rename(from, to);
       }});
  TestFileSystem fs_{*posix_};
  ScriptedDialogs dialogs_;
  NoSleeper sleeper_;
  InstanceLock lock_{dir_.Path("runtime/Quarrystream")};
  const AppServices services_{settings_, fs_, dir_.Path("bin/")};
};

}  // namespace qs::test
