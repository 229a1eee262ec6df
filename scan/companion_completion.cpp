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
                                         CommandLineStarter starter)
    : settings_(settings),
      fs_(fs),
      sink_(sink),
      executable_directory_(std::move(executable_directory)),
      starter_(starter ? std::move(starter) : CommandLineStarter(&StartCommandLine)) {}

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

void CompanionCompletion::Perform(const WatchEntry& entry, const ArchiveSet& set) {
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
  }

  ScanMessage message;
  message.id = WM_SCAN_SETCOMPLETE;
  message.texts = std::move(texts);
  sink_.Post(std::move(message));

  const std::string line = CompanionCommandLine(entry, set);
#ifdef QS_DIAGNOSTIC_TRACE
  std::fprintf(stderr, "Here we order an execution of Mirrowen with the different settings\n");
#endif
  starter_(line);
}

}  // namespace qs
