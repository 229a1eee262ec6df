#include "platform/profile_paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/file_system.h"

namespace qs {

namespace {

namespace fs = std::filesystem;

// A relative profile folder means the one the user started from, not wherever the process
// happens to be later.
std::string Absolute(const std::string& folder) {
  std::error_code error;
  const fs::path absolute = fs::absolute(folder, error);
  return error ? folder : absolute.string();
}

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    return home;
  }
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return "/";
}

}  // namespace

std::string UserConfigDirectory() {
  // Relative values are invalid by the XDG rules and ignored.
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/') {
    return config;
  }
  return PathInDirectory(HomeDirectory(), ".config");
}

ProfileLocation ResolveProfile(const std::optional<std::string>& profile_option) {
  std::string folder;
  if (profile_option.has_value() && !profile_option->empty()) {
    folder = *profile_option;
  } else if (const char* variable = std::getenv(kProfileEnvironmentVariable);
             variable != nullptr && variable[0] != '\0') {
    folder = variable;
  }
  if (!folder.empty()) {
    folder = Absolute(folder);
    return {PathInDirectory(folder, "dirs.cfg"), PathInDirectory(folder, "Mirrowen.conf")};
  }
  return {PathInDirectory(PathInDirectory(UserConfigDirectory(), "Quarrystream"), "dirs.cfg"), {}};
}

bool EnsureParentDirectory(const std::string& file_path) {
  const fs::path parent = fs::path(file_path).parent_path();
  if (parent.empty()) {
    return true;
  }
  std::error_code error;
  fs::create_directories(parent, error);
  return fs::is_directory(parent, error);
}

}  // namespace qs
