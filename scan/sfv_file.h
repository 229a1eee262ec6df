// Reading an SFV checksum file into an ArchiveSet, and the rule that compares a computed CRC
// with the text the file states.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "scan/archive_set.h"

namespace qs {

// One line of an SFV file that is not a comment. A line without any space gives an empty name
// and the whole (trimmed) line as the CRC text.
struct SfvEntry {
  std::string name;          // verbatim: leading and inner spaces belong to the file name
  std::string expected_crc;  // meant to be eight hexadecimal digits, either case
};

// Trailing white space is removed from the whole line first, so padding after the CRC never
// moves the split point; then the line is split at its last space.
SfvEntry ParseSfvLine(std::string_view line);

// Whether a line of an SFV file is a comment: only a ';' in the very first column counts.
inline bool IsSfvComment(std::string_view line) {
  return !line.empty() && line.front() == ';';
}

// What the entries of one SFV file may cost in memory: each entry's name and CRC text, its two
// strings and its status. Far beyond any real set (a set of 2,000 volumes costs well under a
// megabyte), yet a hostile file of millions of lines cannot exhaust memory.
inline constexpr std::size_t kMaxSfvEntryBytes = 16 * 1024 * 1024;

// The memory one entry is counted at against kMaxSfvEntryBytes.
std::size_t SfvEntryCost(const SfvEntry& entry);

// Appends every entry of the SFV file at `set.sfv_path` to `set.entry_names` and
// `set.expected_crcs`. Returns the error of opening the file (the caller ends the pass on it).
// A read error part way, or entries that would cost more than kMaxSfvEntryBytes, end the list
// early: the entries read so far are then followed by one with an empty name and an empty CRC
// text, which never verifies, so a set whose list was not read whole is never complete.
SystemError ReadSfvFile(FileSystem& fs, ArchiveSet& set);

// "%08x" of `crc`, upper-cased.
std::string FormatCrc(std::uint32_t crc);

// The comparison rule: "%08x" of the CRC, upper-cased, equals `expected` upper-cased, character
// for character (so "0x..." or a text with a leading zero dropped never matches).
bool CrcMatches(std::uint32_t crc, std::string_view expected);

// `name` with every backslash turned into the platform's separator: how an entry name written
// on Windows ("sub\\x.rar") is looked for when no file has the name as written.
std::string WithFolderSeparators(std::string_view name);

// Everything up to and including the last separator of `path`; empty when it holds none.
std::string SetDirectoryOf(std::string_view path);

}  // namespace qs
