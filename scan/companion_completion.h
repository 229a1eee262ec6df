// The completion actions of a set the pass found complete: the SFV file renamed or deleted, the
// state file deleted, the verified marker written, the two texts posted to the front end, and
// the companion program started on the set's first volume.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "config/settings_store.h"
#include "platform/file_system.h"
#include "platform/system_error.h"
#include "scan/completion_actions.h"
#include "scan/scan_messages.h"

namespace qs {

// Starts a command-line text; the result is ignored. Tests record the text instead.
using CommandLineStarter = std::function<SystemError(std::string_view)>;

// "x.sfv" → "x.oldsfv": every lower-case ".sfv" in the whole path, directories included.
std::string OldSfvPath(std::string_view sfv_path);

// The destination, with a separator appended when it lacks one, followed by the set directory
// without the first source.size() characters. A source stored without its trailing separator
// gives two separators where the parts meet; the companion program accepts that.
std::string TargetDirectory(std::string_view source, std::string_view destination,
                            std::string_view set_directory);

// Runs on the worker thread; every setting is read at the moment of its action.
class CompanionCompletion final : public CompletionActions {
 public:
  // `executable_directory` ends with a separator; it starts the companion line unquoted.
  CompanionCompletion(SettingsStore& settings, FileSystem& fs, ScanMessageSink& sink,
                      std::string executable_directory, CommandLineStarter starter = {});

  void Perform(const WatchEntry& entry, const ArchiveSet& set) override;

  // The companion line for `set` under `entry`, with " /TOTRAY" when AddQuietToMirrowen is on.
  std::string CompanionCommandLine(const WatchEntry& entry, const ArchiveSet& set) const;

 private:
  SettingsStore& settings_;
  FileSystem& fs_;
  ScanMessageSink& sink_;
  std::string executable_directory_;
  CommandLineStarter starter_;
};

}  // namespace qs
