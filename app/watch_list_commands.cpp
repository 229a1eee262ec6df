#include "app/watch_list_commands.h"

#include "app/command_options.h"
#include "config/watch_list.h"
#include "config/watch_list_editor.h"

namespace qs {

namespace {

int ExitStatus(EditResult result) {
  switch (result) {
    case EditResult::kDone:
      return 0;
    case EditResult::kUnchanged:
    case EditResult::kRejected:
    case EditResult::kSaveFailed:
      return 1;
  }
  return 1;
}

bool CheckRow(const CommandOptions& options, const WatchList& list, std::FILE* err) {
  if (options.row < list.Count())
    return true;
  std::fprintf(err, "quarrystream: there is no row %zu (the watch list has %zu)\n", options.row,
               list.Count());
  return false;
}

}  // namespace

int RunWatchListCommand(const CommandOptions& options, WatchListEditor& editor,
                        const WatchList& list, std::FILE* out, std::FILE* err) {
  editor.LoadDirs();
  switch (options.mode) {
    case RunMode::kList: {
      const auto entries = list.Snapshot();
      for (std::size_t row = 0; row < entries.size(); ++row) {
        std::fprintf(out, "%zu\t%d\t%s\t%s\n", row, entries[row].include,
                     entries[row].source.c_str(), entries[row].destination.c_str());
      }
      return 0;
    }
    case RunMode::kAdd:
      return ExitStatus(editor.AddEntry(options.source, options.destination));
    case RunMode::kRemove:
      if (!CheckRow(options, list, err))
        return 2;
      return ExitStatus(editor.RemoveRow(options.row));
    case RunMode::kInclude:
      if (!CheckRow(options, list, err))
        return 2;
      return ExitStatus(editor.SetInclude(options.row, options.include));
    default:
      return 2;
  }
}

}  // namespace qs
