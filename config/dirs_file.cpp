#include "config/dirs_file.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "config/watch_list.h"

namespace qs {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads one line of a record. `ok` turns false for a line too long to be a path; the line is
// still consumed so that the records after it stay aligned.
bool ReadRecordLine(LineReader& reader, std::string& line, bool& ok) {
  if (!reader.ReadLine(line)) {
    return false;
  }
  if (reader.LastLineTruncated() || line.size() > kMaxStoredPathLength) {
    ok = false;
  }
  return true;
}

}  // namespace

std::int32_t ParseInclude(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) {
    ++i;
  }
  bool negative = false;
  if (i < line.size() && (line[i] == '+' || line[i] == '-')) {
    negative = line[i] == '-';
    ++i;
  }
  // One past INT32_MAX, so that a negative number can reach INT32_MIN before clamping.
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t value = 0;
  for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
    value = std::min(value * 10 + (line[i] - '0'), kLimit);
  }
  if (negative) {
    value = -value;
  }
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

bool IsStorablePath(std::string_view path) {
  // A CR would survive only as long as the file keeps its CR LF line ends; refuse it with LF.
  return path.size() <= kMaxStoredPathLength &&
         path.find_first_of(std::string_view("\n\r\0", 3)) == std::string_view::npos;
}

std::vector<WatchEntry> ParseDirs(ReadableFile& file, std::size_t* dropped) {
  // One byte more than a path may hold, so a line of exactly the longest path is not reported
  // as cut whichever way the reader counts a CR.
  LineReader reader(file, kMaxStoredPathLength + 1);
  std::vector<WatchEntry> entries;
  std::string include_line;
  WatchEntry entry;
  std::size_t cost = 0;
  std::size_t left_out = 0;
  for (;;) {
    bool ok = true;
    if (!ReadRecordLine(reader, include_line, ok) || !ReadRecordLine(reader, entry.source, ok) ||
        !ReadRecordLine(reader, entry.destination, ok)) {
      break;
    }
    // A path SaveDirs would refuse (a NUL byte, a lone CR) was not written by this program
    // either; kept, it would make every later save fail.
    if (ok && IsStorablePath(entry.source) && IsStorablePath(entry.destination)) {
      cost += sizeof(WatchEntry) + entry.source.size() + entry.destination.size();
      if (cost > kMaxDirsEntryBytes) {
        ++left_out;
        break;
      }
      entry.include = ParseInclude(include_line);
      entries.push_back(entry);
    } else {
      ++left_out;
    }
  }
  if (dropped != nullptr) {
    *dropped = left_out;
  }
  return entries;
}

std::string FormatDirs(const std::vector<WatchEntry>& entries) {
  // CR LF on every platform, so one dirs.cfg moves between systems unchanged.
  std::string text;
  for (const WatchEntry& entry : entries) {
    text += std::to_string(entry.include);
    text += "\r\n";
    text += entry.source;
    text += "\r\n";
    text += entry.destination;
    text += "\r\n";
  }
  return text;
}

std::size_t LoadDirs(FileSystem& fs, const std::string& path, WatchList& list) {
  std::unique_ptr<ReadableFile> file;
  if (fs.OpenForReading(path, file) != kErrorSuccess || !file) {
    list.Clear();
    return 0;
  }
  // Parsed before the list is touched, so the worker sees the old list or the new one whole.
  std::size_t dropped = 0;
  list.Replace(ParseDirs(*file, &dropped));
  return dropped;
}

std::string DamagedDirsPath(const std::string& path) {
  return path + ".damaged";
}

bool SaveDirs(FileSystem& fs, const std::string& path, const WatchList& list) {
  std::vector<WatchEntry> entries = list.Snapshot();
  for (const WatchEntry& entry : entries) {
    if (!IsStorablePath(entry.source) || !IsStorablePath(entry.destination)) {
      return false;
    }
  }
  return fs.WriteFileAtomically(path, FormatDirs(entries)) == kErrorSuccess;
}

}  // namespace qs
