// Where the watch list and the settings live. A profile folder (--profile DIR or the environment
// variable QUARRYSTREAM_PROFILE) puts both in one folder, for tests and portable use.
#pragma once

#include <optional>
#include <string>

namespace qs {

inline constexpr const char* kProfileEnvironmentVariable = "QUARRYSTREAM_PROFILE";

struct ProfileLocation {
  std::string dirs_cfg;       // the watch list file
  std::string settings_file;  // empty: the platform's default settings store
};

// `profile_option` is the --profile argument when given; it wins over the environment.
// Without either, dirs.cfg sits in $XDG_CONFIG_HOME/Quarrystream/ (default ~/.config/...).
ProfileLocation ResolveProfile(const std::optional<std::string>& profile_option);

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute path, else
// ~/.config. Holds Quarrystream/dirs.cfg and the autostart entries.
std::string UserConfigDirectory();

// Creates the folder that holds `file_path` (and its parents) when missing.
bool EnsureParentDirectory(const std::string& file_path);

}  // namespace qs
