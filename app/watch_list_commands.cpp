#include "app/watch_list_commands.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "app/command_options.h"
#include "config/watch_list.h"
#include "config/watch_list_editor.h"
#include "platform/file_system.h"

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

std::string AbsoluteWatchPath(const std::string& path) {
  std::error_code error;
  std::string absolute = std::filesystem::absolute(path, error).lexically_normal().string();
  if (error) {
    return path;
  }
  return WithoutTrailingSeparators(std::move(absolute));
}

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
    case RunMode::kAdd: {
      // A relative path would name another folder for a runner started elsewhere, and reach the
      // companion relative to wherever that is.
      const std::string source = AbsoluteWatchPath(options.source);
      std::error_code error;
      if (!std::filesystem::is_directory(source, error)) {
        std::fprintf(err, "quarrystream: warning: the source folder %s does not exist (yet)\n",
                     source.c_str());
      }
      return ExitStatus(editor.AddEntry(source, AbsoluteWatchPath(options.destination)));
    }
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
