// "/ADDDIR:" handling on any command-line text, as the window does it: a text without the marker
// changes nothing, and a directory that can be stored is added and reads back from dirs.cfg
// unchanged; one that cannot is refused with a message and dirs.cfg stays as it was.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/add_dir_command.h"
#include "config/dirs_file.h"
#include "config/memory_settings_store.h"
#include "config/user_messages.h"
#include "config/watch_list.h"
#include "config/watch_list_editor.h"
#include "fuzz/fuzz_support.h"

namespace {

class CountingMessages final : public qs::UserMessages {
 public:
  void ShowMessage(std::string_view, std::string_view, qs::MessageIcon) override { ++shown; }
  bool AskYesNo(std::string_view, std::string_view) override { return true; }
  int shown = 0;
};

class FixedFrontEnd final : public qs::AddDirectoryFrontEnd {
 public:
  void BringToFront() override {}
  std::string AskDirectory(std::string_view) override { return "/out"; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using qs::fuzz::Require;
  const std::string_view text = qs::fuzz::AsText(data, size);
  const std::optional<std::string> path = qs::ParseAddDirCommand(text);
  const std::size_t marker = text.find(qs::kAddDirMarker);
  Require(path.has_value() == (marker != std::string_view::npos), "a command needs the marker");
  if (!path) {
    return 0;
  }
  std::string expected;
  for (const char c : text.substr(marker + qs::kAddDirMarker.size())) {
    if (c != '"') {
      expected.push_back(c);
    }
  }
  Require(*path == expected, "the path is the rest of the text without quotes");

  const std::string before = "1\r\n/first\r\n/out\r\n";
  qs::fuzz::MemoryDisk disk;
  disk.files["/profile/dirs.cfg"] = before;
  qs::WatchList list;
  CountingMessages messages;
  qs::MemorySettingsStore settings;
  qs::WatchListEditor editor(disk, "/profile/dirs.cfg", list, messages, settings);
  editor.LoadDirs();
  FixedFrontEnd front_end;
  const qs::EditResult result = editor.AddDirectoryFromCommand(*path, front_end);
  const std::string& after = disk.files["/profile/dirs.cfg"];
  if (!path->empty() && qs::IsStorablePath(*path)) {
    Require(result == qs::EditResult::kDone && messages.shown == 0, "a storable path is added");
    Require(after == before + "1\r\n" + *path + "\r\n/out\r\n", "dirs.cfg holds it whole");
    const std::vector<qs::WatchEntry> entries = list.Snapshot();
    Require(entries.size() == 2 && entries[1].source == *path, "the reload holds it");
  } else {
    Require(result == qs::EditResult::kRejected && messages.shown == 1, "it is refused, and told");
    Require(after == before, "dirs.cfg is untouched");
  }
  return 0;
}
