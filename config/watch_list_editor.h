// The watch list operations that the window and the headless runner share: add, remove and
// include toggles, each with the saves and reloads that keep dirs.cfg the master copy.
//
// Thread contract: every call on the window's thread (or the runner's only thread). The list's
// own lock is taken only for each change, never while a message box or a prompt is open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qs {

class FileSystem;
class SettingsStore;
class UserMessages;
class WatchList;

inline constexpr std::string_view kSourcePrompt =
    "Please choose source directory\n(This is where you want to put the watchdog)";
inline constexpr std::string_view kDestinationPrompt =
    "Please choose destination directory\n(This is you want everything to be unpacked)";

// What the front end does for an "/ADDDIR:" command between checking the source and adding.
class AddDirectoryFrontEnd {
 public:
  virtual ~AddDirectoryFrontEnd() = default;
  virtual void BringToFront() = 0;
  // Shows the folder browser with `prompt`; empty when cancelled.
  virtual std::string AskDirectory(std::string_view prompt) = 0;
};

enum class EditResult {
  kUnchanged,   // nothing to do, cancelled or declined: list and file untouched
  kRejected,    // refused with a message to the user: list and file untouched
  kDone,        // changed and saved
  kSaveFailed,  // a save failed; "Error saving dirs.cfg" was shown for it
};

class WatchListEditor {
 public:
  WatchListEditor(FileSystem& fs, std::string dirs_path, WatchList& list, UserMessages& messages,
                  const SettingsStore& settings);

  // Called after every reload (LoadDirs and the reload that ends each add and remove): the
  // front end rebuilds every row, which also resets every progress bar.
  void SetReloadedCallback(std::function<void()> callback);

  // Rebuilds the list from dirs.cfg; a missing or unreadable file gives an empty list silently.
  // Damaged records, which the next save would erase, are reported, and the file as it was is
  // kept beside it (DamagedDirsPath) first.
  void LoadDirs();
  // Writes the list; on failure shows "Error saving dirs.cfg" and returns false.
  bool SaveDirs();

  // Adds an included entry. Empty source or destination does nothing. Saves before and after
  // appending, then reloads: after a failed save the list is what the file holds, and the new
  // entry is lost. kDone, kSaveFailed mean the list was reloaded.
  EditResult AddEntry(const std::string& source, const std::string& destination);

  // The "/ADDDIR:" command: an empty source shows "You must have a source directory!"; otherwise
  // the front end is brought forward and asked for the destination.
  EditResult AddDirectoryFromCommand(const std::string& source, AddDirectoryFrontEnd& front_end);

  // Removes the selected row (nullopt: nothing selected) after the confirmation that
  // ConfirmationLevel asks for, then saves and reloads.
  EditResult RemoveRow(std::optional<std::size_t> row);

  // Sets a row's include flag and saves without a reload: the rows stay as they are.
  // kUnchanged when the row does not exist.
  EditResult SetInclude(std::size_t row, std::int32_t include);

  const std::string& dirs_path() const { return dirs_path_; }

 private:
  bool CheckStorable(const std::string& path);
  void KeepDamagedFile(std::size_t dropped);
  EditResult SaveChangeAndReload();

  FileSystem& fs_;
  std::string dirs_path_;
  WatchList& list_;
  UserMessages& messages_;
  const SettingsStore& settings_;
  std::function<void()> reloaded_;
};

}  // namespace qs
