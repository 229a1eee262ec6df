// Doubles and a fixture for the desktop program's tests: dialogs answered from a script, a
// tray that records what it is told, a file system and settings store that report each write,
// and a main window built on a temporary profile with its own lock and socket.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QMenu>
#include <QStringList>

#include "app/desktop_dialogs.h"
#include "app/main_window.h"
#include "config/memory_settings_store.h"
#include "platform/file_system.h"
#include "platform/single_instance.h"
#include "scan/sleeper.h"
#include "tests/support/temp_dir.h"
#include "widgets/tray_shell.h"

namespace qs::test {

struct ShownMessage {
  std::string text;
  std::string caption;
  MessageIcon icon = MessageIcon::kNone;
  bool question = false;
};

class ScriptedDialogs final : public DesktopDialogs {
 public:
  std::deque<std::string> directories;  // the folder browser's answers; "" cancels
  std::deque<bool> answers;             // Yes (true) or No to each question
  std::optional<std::string> program;   // the program chooser's answer; nullopt cancels
  // Runs as each dialog opens, to look at the window while it waits for the user.
  std::function<void()> on_open;

  std::vector<ShownMessage> shown;
  std::vector<std::string> prompts;
  int settings_runs = 0;
  int about_runs = 0;
  int close_alls = 0;  // CloseAll calls; the scripted dialogs answer as scripted all the same

  void SetOwner(QWidget*) override {}
  void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;
  bool AskYesNo(std::string_view text, std::string_view caption) override;
  std::string BrowseForDirectory(std::string_view prompt) override;
  std::optional<std::string> BrowseForProgram() override;
  void RunSettingsDialog() override;
  void RunAboutBox() override;
  void CloseAll() override { ++close_alls; }

 private:
  void Opened();
};

// A tray that is always there and records the icon shown and hidden and the messages.
class RecordingTrayShell final : public TrayShell {
 public:
  struct Log {
    int adds = 0;
    int deletes = 0;
    QStringList balloons;  // "title: text"
  };
  explicit RecordingTrayShell(std::shared_ptr<Log> log) : log_(std::move(log)) {}

  bool Available() const override { return true; }
  void SetIcon(const QIcon&, const QString&) override {}
  void SetVisible(bool visible) override { ++(visible ? log_->adds : log_->deletes); }
  void ShowMessage(const QString& title, const QString& text, QSystemTrayIcon::MessageIcon,
                   int) override {
    log_->balloons << title + QStringLiteral(": ") + text;
  }
  QRect IconGeometry() const override { return {}; }
  void SetActivationHandler(ActivationHandler) override {}

 private:
  std::shared_ptr<Log> log_;
};

// The real file system; every whole-file write is announced first.
class ObservedFileSystem final : public FileSystem {
 public:
  std::function<void(const std::string& path)> before_write;

  SystemError OpenForVerify(const std::string& path, std::unique_ptr<ReadableFile>& file) override;
  SystemError OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>& file) override;
  bool ListDirectory(const std::string& directory, std::vector<DirectoryEntry>& entries) override;
  SystemError WriteFileAtomically(const std::string& path, std::string_view content) override;
  SystemError CreateEmptyFile(const std::string& path) override;
  SystemError MoveFileNoReplace(const std::string& from, const std::string& to) override;
  SystemError DeleteFile(const std::string& path) override;
};

class ObservedSettings final : public SettingsStore {
 public:
  std::function<void(std::string_view key)> before_write;
  MemorySettingsStore store;

  std::int32_t ReadInt(std::string_view key, std::int32_t default_value) const override {
    return store.ReadInt(key, default_value);
  }
  std::string ReadText(std::string_view key, std::string_view default_value) const override {
    return store.ReadText(key, default_value);
  }
  void WriteInt(std::string_view key, std::int32_t value) override;
  void WriteText(std::string_view key, std::string_view value) override;
};

// "text=command" for each item of `menu`, "-" for a separator, joined by '|'.
std::string MenuItems(const QMenu* menu);

class NoSleeper final : public Sleeper {
 public:
  void SleepFor(std::chrono::milliseconds) override {}
};

// A main window on a temporary profile: dirs.cfg, a private runtime folder with the lock and
// the socket, scripted dialogs and recorded command starts.
class DesktopTest : public ::testing::Test {
 protected:
  DesktopTest();

  std::string DirsPath() const { return dir_.Path("profile/dirs.cfg"); }
  std::string RuntimeDir() const { return dir_.Path("runtime"); }
  std::string LockPath() const { return RuntimeDir() + "/Quarrystream"; }
  std::string ChannelPath() const { return RuntimeDir() + "/QuarrystreamWnd"; }
  void WriteDirs(std::string_view content) const;
  std::string ReadDirs() const { return ReadFile(DirsPath()); }

  std::unique_ptr<MainWindow> MakeWindow(std::string command_line = {},
                                         std::unique_ptr<TrayShell> tray = nullptr);
  // Stops the worker, unless a stop is under way, and handles the window's events until the
  // worker is released; every message it posted has then reached the window.
  static void FinishPass(MainWindow& window);

  std::vector<std::vector<std::string>> PostExecutionStarts();

  TempDir dir_;
  ObservedSettings settings_;
  ObservedFileSystem fs_;
  ScriptedDialogs dialogs_;
  NoSleeper sleeper_;
  InstanceLock lock_;
  const AppServices services_{settings_, fs_, dir_.Path("bin/")};

 private:
  std::mutex started_mutex_;
  std::vector<std::vector<std::string>> started_;
};

}  // namespace qs::test
