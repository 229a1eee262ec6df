#include "config/ini_settings_store.h"

#include <sys/stat.h>

#include <cerrno>
#include <chrono>

#include "platform/file_system.h"
#include "platform/profile_paths.h"

namespace qs {

namespace {

constexpr std::string_view kGroup = "Settings";

// A file changed this recently may change again within the same timestamp tick (coarse clocks,
// two-second FAT times) with its size and inode number too: it is read again at every call until
// it is older, so that no such change goes unseen.
constexpr std::chrono::seconds kSettledAfter{2};

bool Recent(const timespec& time) {
  const auto stamp = std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(
          std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec)));
  return std::chrono::system_clock::now() - stamp < kSettledAfter;
}

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

bool IniSettingsStore::Stamp::operator==(const Stamp& other) const {
  return exists == other.exists && device == other.device && inode == other.inode &&
         size == other.size && SameTime(modified, other.modified) &&
         SameTime(changed, other.changed);
}

IniSettingsStore::IniSettingsStore(FileSystem& fs, std::string file_path)
    : fs_(fs), path_(std::move(file_path)) {}

std::int32_t IniSettingsStore::ReadInt(std::string_view key, std::int32_t default_value) const {
  std::lock_guard lock(mutex_);
  const auto& values = Current();
  const auto found = values.find(key);
  std::int32_t number = 0;
  return found != values.end() && ini::ParseInt(found->second, number) ? number : default_value;
}

std::string IniSettingsStore::ReadText(std::string_view key, std::string_view default_value) const {
  std::lock_guard lock(mutex_);
  const auto& values = Current();
  const auto found = values.find(key);
  return found == values.end() ? std::string(default_value) : found->second;
}

void IniSettingsStore::WriteInt(std::string_view key, std::int32_t value) {
  Write(key, std::to_string(value));
}

void IniSettingsStore::WriteText(std::string_view key, std::string_view value) {
  Write(key, ini::EscapeText(value));
}

// Write failures are not reported: no caller could do anything about them. A file that exists
// but cannot be read is left alone rather than replaced by this one value.
void IniSettingsStore::Write(std::string_view key, std::string_view written_value) {
  std::lock_guard lock(mutex_);
  std::string data;
  if (!ReadFile(data)) {
    return;
  }
  EnsureParentDirectory(path_);
  fs_.WriteFileAtomically(path_, ini::WithValue(data, kGroup, key, written_value));
  cached_ = false;
}

const std::map<std::string, std::string, std::less<>>& IniSettingsStore::Current() const {
  Stamp now;
  struct stat info {};
  bool stamped = ::stat(path_.c_str(), &info) == 0;
  if (stamped) {
    now = {true, info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
  } else {
    stamped = errno == ENOENT || errno == ENOTDIR;  // no file: no settings, until there is one
  }
  if (cached_ && stamped && now == stamp_) {
    return values_;
  }
  std::string data;
  const bool read = ReadFile(data);
  values_ = ini::ReadGroup(data, kGroup);
  stamp_ = now;
  cached_ = stamped && read && !(now.exists && (Recent(now.modified) || Recent(now.changed)));
  return values_;
}

// The whole file; an absent file reads as empty. False when it exists but cannot be read.
bool IniSettingsStore::ReadFile(std::string& data) const {
  const SystemError error = ReadWholeFile(fs_, path_, data);
  return error == kErrorSuccess || error == kErrorFileNotFound || error == kErrorPathNotFound;
}

std::string MirrowenSettingsFile() {
  return PathInDirectory(UserConfigDirectory(), "Mirrowen/Mirrowen.conf");
}

std::unique_ptr<SettingsStore> OpenProfileSettings(const std::string& settings_file) {
  return std::make_unique<IniSettingsStore>(
      RealFileSystem(), settings_file.empty() ? MirrowenSettingsFile() : settings_file);
}

}  // namespace qs
