// The watch list file dirs.cfg: records of three lines (include, source, destination), written
// with CR LF line ends and read with LF or CR LF.
#pragma once

#include <string>
#include <vector>

#include "config/watch_entry.h"
#include "platform/file_system.h"

namespace qs {

class WatchList;

// Parses the text of a dirs.cfg; an incomplete record at the end is dropped.
std::vector<WatchEntry> ParseDirs(ReadableFile& file);
std::string FormatDirs(const std::vector<WatchEntry>& entries);

// Rebuilds `list` from the file; a missing or unreadable file gives an empty list.
void LoadDirs(FileSystem& fs, const std::string& path, WatchList& list);
// Writes the whole list crash-safely; false when it could not be written (the old file stays).
bool SaveDirs(FileSystem& fs, const std::string& path, const WatchList& list);

}  // namespace qs
