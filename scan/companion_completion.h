// The completion actions of a set the pass found complete: the SFV file renamed or deleted, the
// state file deleted, the verified marker written, the two texts posted to the front end, and
// the companion program started on the set's first volume.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <string_view>

#include "config/settings_store.h"
#include "platform/file_system.h"
#include "platform/system_error.h"
#include "scan/completion_actions.h"
#include "scan/scan_messages.h"

namespace qs {

// Starts a command-line text. Tests record the text instead.
using CommandLineStarter = std::function<SystemError(std::string_view)>;
// Whether the program at a path is there and executable.
using ProgramCheck = std::function<bool(const std::string&)>;

// "x.sfv" → "x.oldsfv": every lower-case ".sfv" in the whole path, directories included.
std::string OldSfvPath(std::string_view sfv_path);

// The destination, with a separator appended when it lacks one, followed by the set directory
// without the first source.size() characters. A source stored without its trailing separator
// gives two separators where the parts meet; the companion program accepts that.
std::string TargetDirectory(std::string_view source, std::string_view destination,
                            std::string_view set_directory);

// Runs on the worker thread; every setting is read at the moment of its action. Before any
// action it checks that the companion program is there (a set marked done without it would
// never be handed off), then claims the set's folder, so that of several processes watching
// the folder only one completes the set, and looks again under the claim whether another
// process has completed it meanwhile.
class CompanionCompletion final : public CompletionActions {
 public:
  // `executable_directory` ends with a separator; it starts the companion line unquoted.
  // `companion_present` checks the companion's path; null: the file on disk is checked, unless
  // a `starter` is given (a test that records instead of starting), when it counts as there.
  CompanionCompletion(SettingsStore& settings, FileSystem& fs, ScanMessageSink& sink,
                      std::string executable_directory, CommandLineStarter starter = {},
                      ProgramCheck companion_present = {});

  void BeginPass() override;
  CompletionResult Perform(const WatchEntry& entry, const ArchiveSet& set) override;

  // The companion line for `set` under `entry`, with " /TOTRAY" when AddQuietToMirrowen is on.
  std::string CompanionCommandLine(const WatchEntry& entry, const ArchiveSet& set) const;

 private:
  SettingsStore& settings_;
  FileSystem& fs_;
  ScanMessageSink& sink_;
  // Under the claim: whether another process completed the set since the pass found it.
  bool HandledSince(const ArchiveSet& set);

  std::string executable_directory_;
  CommandLineStarter starter_;
  ProgramCheck companion_present_;
  // Folders whose marker this pass wrote: a second SFV file there is still this pass's to hand
  // off, as it would be without the check for other processes.
  std::set<std::string> own_markers_;
  // Sets already reported as waiting for the companion, so each is reported once.
  std::set<std::string> missing_reported_;
};

}  // namespace qs
