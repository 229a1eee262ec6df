// The watch list file dirs.cfg: records of three lines (include, source, destination), written
// with CR LF line ends and read with LF or CR LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/watch_entry.h"
#include "platform/file_system.h"
#include "platform/line_reader.h"

namespace qs {

class WatchList;

// The longest path a record keeps. Far beyond any path a file system accepts (4,096 bytes on
// Linux, 32,767 UTF-16 units on Windows), yet it bounds what a damaged or hostile file costs.
inline constexpr std::size_t kMaxStoredPathLength = LineReader::kDefaultMaxLineLength;

// What the records of one dirs.cfg may cost in memory: each entry and its two paths. A list of
// a hundred thousand watched folders fits many times over, yet a damaged file of millions of
// empty lines cannot exhaust memory.
inline constexpr std::size_t kMaxDirsEntryBytes = 32 * 1024 * 1024;

// Parses the text of a dirs.cfg; an incomplete record at the end is dropped, and so is a record
// that this program cannot have written: a line longer than kMaxStoredPathLength (a cut path
// would name another directory) or a path that IsStorablePath refuses. Reading stops at the
// first record that would take the list past kMaxDirsEntryBytes. `dropped`, when given, counts
// the records left out (the one that stopped the reading included).
std::vector<WatchEntry> ParseDirs(ReadableFile& file, std::size_t* dropped = nullptr);
std::string FormatDirs(const std::vector<WatchEntry>& entries);

// The number at the start of a record's first line, read as atoi reads it: leading white space
// skipped, an optional sign, digits up to the first other character, 0 without digits.
// Numbers beyond 32 bits are clamped to the nearest 32-bit value.
std::int32_t ParseInclude(std::string_view line);

// Whether a path can be written as one line of dirs.cfg and read back unchanged: no line break,
// no zero byte, at most kMaxStoredPathLength bytes.
bool IsStorablePath(std::string_view path);

// Rebuilds `list` from the file; a missing or unreadable file gives an empty list. Returns the
// number of damaged records left out.
std::size_t LoadDirs(FileSystem& fs, const std::string& path, WatchList& list);

// Where the file as it was is kept when LoadDirs left records out: "<dirs.cfg>.damaged".
std::string DamagedDirsPath(const std::string& path);
// Writes the whole list crash-safely; false when it could not be written (the old file stays).
// A list holding a path that IsStorablePath refuses is not written at all, since its line break
// would shift every later record.
bool SaveDirs(FileSystem& fs, const std::string& path, const WatchList& list);

}  // namespace qs
