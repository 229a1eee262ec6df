#include "config/watch_list_editor.h"

#include <memory>
#include <string>
#include <utility>

#include "config/dirs_file.h"
#include "config/settings_keys.h"
#include "config/user_messages.h"
#include "config/watch_list.h"
#include "platform/file_system.h"

namespace qs {

WatchListEditor::WatchListEditor(FileSystem& fs, std::string dirs_path, WatchList& list,
                                 UserMessages& messages, const SettingsStore& settings)
    : fs_(fs),
      dirs_path_(std::move(dirs_path)),
      list_(list),
      messages_(messages),
      settings_(settings) {}

void WatchListEditor::SetReloadedCallback(std::function<void()> callback) {
  reloaded_ = std::move(callback);
}

void WatchListEditor::LoadDirs() {
  if (const std::size_t dropped = qs::LoadDirs(fs_, dirs_path_, list_); dropped > 0) {
    KeepDamagedFile(dropped);
  }
  if (reloaded_) {
    reloaded_();
  }
}

void WatchListEditor::KeepDamagedFile(std::size_t dropped) {
  std::string content;
  // A bound for a file grown huge by damage; what it holds beyond is lost with the records.
  ReadWholeFile(fs_, dirs_path_, content, std::size_t{256} << 20);
  const std::string kept = DamagedDirsPath(dirs_path_);
  const bool saved = fs_.WriteFileAtomically(kept, content) == kErrorSuccess;
  messages_.ShowMessage(std::to_string(dropped) +
                            (dropped == 1 ? " damaged record" : " damaged records") + " of " +
                            dirs_path_ + " could not be read and " + (dropped == 1 ? "is" : "are") +
                            " left out of the watch list. " +
                            (saved ? "The file as it was is kept as " + kept + "."
                                   : "It could not be kept as " + kept + "."),
                        kApplicationTitle);
}

bool WatchListEditor::SaveDirs() {
  if (qs::SaveDirs(fs_, dirs_path_, list_)) {
    return true;
  }
  messages_.ShowMessage("Error saving dirs.cfg", kApplicationTitle);
  return false;
}

// dirs.cfg holds one path per line, so a path with a line break cannot be stored; it is refused
// when it is added rather than written as a file that would read back shifted. So are a NUL
// byte, which no path can hold, and a path longer than any file system accepts.
bool WatchListEditor::CheckStorable(const std::string& path) {
  if (IsStorablePath(path)) {
    return true;
  }
  std::string text = "This directory cannot be stored in dirs.cfg: ";
  if (path.size() > kMaxStoredPathLength) {
    text += "its path is too long.";
  } else if (path.find('\0') != std::string::npos) {
    text += "its path holds a NUL byte.";
  } else {
    text += "its path holds a line break.";
  }
  messages_.ShowMessage(text, kApplicationTitle);
  return false;
}

EditResult WatchListEditor::AddEntry(const std::string& source, const std::string& destination) {
  if (source.empty() || destination.empty()) {
    return EditResult::kUnchanged;
  }
  if (!CheckStorable(source) || !CheckStorable(destination)) {
    return EditResult::kRejected;
  }
  // The save before the append writes the list as it was, so the file is current even if the
  // second save fails.
  const bool saved_before = SaveDirs();
  list_.Append(WatchEntry{source, destination, 1});
  const EditResult result = SaveChangeAndReload();
  return saved_before ? result : EditResult::kSaveFailed;
}

EditResult WatchListEditor::AddDirectoryFromCommand(const std::string& source,
                                                    AddDirectoryFrontEnd& front_end) {
  if (source.empty()) {
    messages_.ShowMessage("You must have a source directory!", kApplicationTitle);
    return EditResult::kRejected;
  }
  // Checked before the user is asked anything: a destination chosen for nothing is worse.
  if (!CheckStorable(source)) {
    return EditResult::kRejected;
  }
  front_end.BringToFront();
  std::string destination = front_end.AskDirectory(kDestinationPrompt);
  if (destination.empty()) {
    return EditResult::kUnchanged;
  }
  return AddEntry(source, destination);
}

EditResult WatchListEditor::RemoveRow(std::optional<std::size_t> row) {
  if (!row || *row >= list_.Count()) {
    messages_.ShowMessage("Select object in list before deletion", kApplicationTitle,
                          MessageIcon::kInformation);
    return EditResult::kRejected;
  }
  if (AsksOnRemove(settings_) &&
      !messages_.AskYesNo("Do you want to delete selected directory from the watchlist?",
                          "Remove directory?")) {
    return EditResult::kUnchanged;
  }
  list_.RemoveAt(*row);
  return SaveChangeAndReload();
}

EditResult WatchListEditor::SetInclude(std::size_t row, std::int32_t include) {
  if (!list_.SetInclude(row, include)) {
    return EditResult::kUnchanged;
  }
  return SaveDirs() ? EditResult::kDone : EditResult::kSaveFailed;
}

EditResult WatchListEditor::SaveChangeAndReload() {
  bool saved = SaveDirs();
  LoadDirs();
  return saved ? EditResult::kDone : EditResult::kSaveFailed;
}

}  // namespace qs
