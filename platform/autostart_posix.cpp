#include "platform/autostart.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "platform/executable_paths.h"
#include "platform/file_system.h"
#include "platform/profile_paths.h"

namespace qs {

namespace {

constexpr const char* kEntryName = "Quarrystream.desktop";

// The inside of a quoted Exec argument: the Exec rules escape " ` $ \ with a backslash, a
// literal % is doubled as every field code would be.
std::string QuoteForExec(std::string_view path) {
  std::string quoted = "\"";
  for (const char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') {
      quoted.push_back('\\');
    } else if (c == '%') {
      quoted.push_back('%');
    }
    quoted.push_back(c);
  }
  quoted.push_back('"');
  return quoted;
}

// The desktop-entry string rules apply before the Exec rules, so every backslash is escaped
// once more (a literal backslash in a path ends up as four).
std::string EscapeString(std::string_view value) {
  std::string escaped;
  for (const char c : value) {
    switch (c) {
      case '\\':
        escaped += "\\\\";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\r':
        escaped += "\\r";
        break;
      case '\t':
        escaped += "\\t";
        break;
      default:
        escaped.push_back(c);
    }
  }
  return escaped;
}

}  // namespace

Autostart::Autostart(std::string autostart_dir) : dir_(std::move(autostart_dir)) {
  if (dir_.empty()) {
    dir_ = UserConfigDirectory() + "/autostart";
  }
}

std::string Autostart::EntryPath() const {
  return dir_ + "/" + kEntryName;
}

void Autostart::Set(const std::string& executable_directory) {
  const std::string executable = executable_directory + std::string(kProgramExecutable);
  const std::string entry =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Quarrystream\n"
      "Exec=" +
      EscapeString(QuoteForExec(executable)) +
      "\n"
      "X-GNOME-Autostart-enabled=true\n";
  std::error_code ignored;
  std::filesystem::create_directories(dir_, ignored);
  RealFileSystem().WriteFileAtomically(EntryPath(), entry);
}

void Autostart::Remove() {
  ::unlink(EntryPath().c_str());
}

bool Autostart::IsSet() const {
  std::error_code ignored;
  return std::filesystem::is_regular_file(EntryPath(), ignored);
}

}  // namespace qs
