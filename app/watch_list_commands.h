// The watch-list options of the command line (--list, --add, --remove, --include), with the same
// rules and the same write-through dirs.cfg as the window's commands.
#pragma once

#include <cstdio>
#include <string>

namespace qs {

struct CommandOptions;
class WatchListEditor;
class WatchList;

// `path` made absolute against the current folder and normalised by its text alone: "." and
// ".." resolved, links kept as links, no trailing separator.
std::string AbsoluteWatchPath(const std::string& path);

// Runs the option's edit and returns the exit status: 0 done, 1 not done (a failed save, a
// declined question), 2 bad usage (a row that does not exist).
int RunWatchListCommand(const CommandOptions& options, WatchListEditor& editor,
                        const WatchList& list, std::FILE* out, std::FILE* err);

}  // namespace qs
