#include "scan/companion_completion.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

#include "config/settings_keys.h"
#include "platform/command_line.h"
#include "platform/executable_paths.h"
#include "scan/scan_pass.h"
#include "scan/text_util.h"

namespace qs {

std::string OldSfvPath(std::string_view sfv_path) {
  return ReplaceAll(sfv_path, ".sfv", ".oldsfv");
}

std::string TargetDirectory(std::string_view source, std::string_view destination,
                            std::string_view set_directory) {
  std::string target(destination);
  if (target.empty() || target.back() != kPathSeparator) {
    target += kPathSeparator;
  }
  target += set_directory.substr(std::min(source.size(), set_directory.size()));
  return target;
}

CompanionCompletion::CompanionCompletion(SettingsStore& settings, FileSystem& fs,
                                         ScanMessageSink& sink, std::string executable_directory,
                                         CommandLineStarter starter, ProgramCheck companion_present)
    : settings_(settings),
      fs_(fs),
      sink_(sink),
      executable_directory_(std::move(executable_directory)),
      companion_present_(std::move(companion_present)) {
  if (!companion_present_) {
    companion_present_ = starter ? ProgramCheck([](const std::string&) { return true; })
                                 : ProgramCheck(&IsExecutableProgram);
  }
  starter_ = starter ? std::move(starter) : CommandLineStarter(&StartCommandLine);
}

void CompanionCompletion::BeginPass() {
  own_markers_.clear();
}

bool CompanionCompletion::HandledSince(const ArchiveSet& set) {
  std::unique_ptr<ReadableFile> file;
  if (fs_.OpenForReading(set.sfv_path, file) != kErrorSuccess) {
    return true;  // renamed or deleted by the completion of another process
  }
  return IsOn(settings_, Setting::CreateNoCheckFile) &&
         own_markers_.count(set.set_directory) == 0 &&
         fs_.OpenForReading(set.set_directory + kVerifiedMarkerName, file) == kErrorSuccess;
}

std::string CompanionCompletion::CompanionCommandLine(const WatchEntry& entry,
                                                      const ArchiveSet& set) const {
  // Each quoted path is escaped whole: a double quote in a downloaded name, or the separator
  // that always ends the target, must not close or escape the quote around it.
  std::string line = executable_directory_;
  line += kCompanionExecutable;
  line += " /ADDRAR:\"";
  line += EscapeForQuotes(set.set_directory + set.first_volume_name);
  line += "\" /DESTINATION:\"";
  line += EscapeForQuotes(TargetDirectory(entry.source, entry.destination, set.set_directory));
  line += '"';
  if (IsOn(settings_, Setting::AddQuietToMirrowen)) {
    line += " /TOTRAY";
  }
  return line;
}

CompletionResult CompanionCompletion::Perform(const WatchEntry& entry, const ArchiveSet& set) {
  CompletionResult result;
  const std::string companion = executable_directory_ + std::string(kCompanionExecutable);
  if (!companion_present_(companion)) {
    result.outcome = CompletionResult::Outcome::kCompanionMissing;
    if (missing_reported_.insert(set.sfv_path).second) {
      result.failure = "The companion program " + companion + " cannot be started (" +
                       StartFailureReason(companion) + "); " + set.sfv_path +
                       " is complete and waits for it";
    }
    return result;
  }
  missing_reported_.clear();  // back: a later loss is worth hearing of again
  // Held until the companion has been started; the kernel drops it should this process die.
  const std::unique_ptr<FolderClaim> claim = fs_.ClaimFolder(set.set_directory);
  if (claim == nullptr || HandledSince(set)) {
    result.outcome = CompletionResult::Outcome::kHandledElsewhere;
    return result;
  }

  auto texts = std::make_unique<SetCompleteTexts>();
  texts->sfv_text = set.sfv_path;
  texts->volume_text = set.set_directory + set.first_volume_name;

  // Every action is fire and forget: a failed rename, delete or marker leaves the rest alone.
  if (IsOn(settings_, Setting::RenameSFV)) {
    std::string renamed = OldSfvPath(set.sfv_path);
    fs_.MoveFileNoReplace(set.sfv_path, renamed);
    texts->sfv_text = std::move(renamed);
  }
  if (IsOn(settings_, Setting::DeleteSFV)) {
    fs_.DeleteFile(set.sfv_path);  // the path before any rename
    texts->sfv_text.clear();
  }
  if (IsOn(settings_, Setting::DeleteQuarrystream)) {
    fs_.DeleteFile(set.set_directory + kStateFileName);
  }
  if (IsOn(settings_, Setting::CreateNoCheckFile)) {
    fs_.CreateEmptyFile(set.set_directory + kVerifiedMarkerName);
    own_markers_.insert(set.set_directory);
  }

  ScanMessage message;
  message.id = WM_SCAN_SETCOMPLETE;
  message.texts = std::move(texts);
  sink_.Post(std::move(message));

  const std::string line = CompanionCommandLine(entry, set);
#ifdef QS_DIAGNOSTIC_TRACE
  std::fprintf(stderr, "Here we order an execution of Mirrowen with the different settings\n");
#endif
  if (starter_(line) != kErrorSuccess) {
    result.failure = "The companion program " + companion + " could not be started for " +
                     set.sfv_path + " (" + StartFailureReason(companion) + ")";
  }
  return result;
}

}  // namespace qs
