// The program's settings store on Linux, for the window, the settings dialog and the headless
// modes alike: the INI file QSettings keeps, group [Settings], read and written as QSettings does,
// so that the companion and a QSettings-based build see the same values.
//
// Thread contract: any thread may call anything; one write and one read never interleave.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "config/ini_format.h"
#include "config/settings_store.h"

namespace qs {

class FileSystem;

class IniSettingsStore final : public SettingsStore {
 public:
  // The file at `file_path` (created, with its folder, on the first write).
  IniSettingsStore(FileSystem& fs, std::string file_path);

  std::int32_t ReadInt(std::string_view key, std::int32_t default_value) const override;
  std::string ReadText(std::string_view key, std::string_view default_value) const override;
  void WriteInt(std::string_view key, std::int32_t value) override;
  void WriteText(std::string_view key, std::string_view value) override;

  const std::string& file_path() const { return path_; }

 private:
  // What identifies one content of the file; `exists` false for no file at all.
  struct Stamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};
    bool operator==(const Stamp& other) const;
  };

  // The group's values as the file holds them now (mutex_ held).
  const std::map<std::string, std::string, std::less<>>& Current() const;
  bool ReadFile(std::string& data) const;
  void Write(std::string_view key, std::string_view written_value);

  FileSystem& fs_;
  const std::string path_;
  mutable std::mutex mutex_;
  // The parsed group and the stamp of the file it came from. A read costs a stat while the file
  // stays the same, and the whole (tiny) file when it changed.
  mutable std::map<std::string, std::string, std::less<>> values_;
  mutable Stamp stamp_;
  mutable bool cached_ = false;
};

// The file QSettings("Mirrowen", "Mirrowen") uses on Linux: $XDG_CONFIG_HOME (or ~/.config)
// /Mirrowen/Mirrowen.conf. (QSettings also falls back to the organisation file and the system
// folders when reading; the program never puts settings there.)
std::string MirrowenSettingsFile();

// The store of a profile: its file, or the Mirrowen file when `settings_file` is empty. (A build
// that keeps settings in the Windows registry defines this over QSettings instead.)
std::unique_ptr<SettingsStore> OpenProfileSettings(const std::string& settings_file);

}  // namespace qs
