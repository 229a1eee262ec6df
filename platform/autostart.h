// The entry that starts the program when the user logs on: the XDG autostart file on Linux,
// the Run key value "Quarrystream" on Windows.
#pragma once

#include <string>

namespace qs {

class Autostart {
 public:
  // `autostart_dir` is the folder of autostart entries; empty means the user's own
  // ($XDG_CONFIG_HOME/autostart, default ~/.config/autostart).
  explicit Autostart(std::string autostart_dir = {});

  // Writes the entry: the quoted executable directory plus the fixed program name.
  // Failures are not reported.
  void Set(const std::string& executable_directory);
  void Remove();
  bool IsSet() const;
  std::string EntryPath() const;

 private:
  std::string dir_;
};

}  // namespace qs
