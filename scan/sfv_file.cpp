#include "scan/sfv_file.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/executable_paths.h"
#include "platform/line_reader.h"
#include "platform/readable_file.h"
#include "scan/text_util.h"

namespace qs {

SfvEntry ParseSfvLine(std::string_view line) {
  line = TrimTrailingWhiteSpace(line);
  const std::size_t space = line.rfind(' ');
  if (space == std::string_view::npos) {
    return {std::string(), std::string(line)};
  }
  return {std::string(line.substr(0, space)), std::string(line.substr(space + 1))};
}

std::size_t SfvEntryCost(const SfvEntry& entry) {
  return 2 * sizeof(std::string) + sizeof(std::uint32_t) + entry.name.size() +
         entry.expected_crc.size();
}

SystemError ReadSfvFile(FileSystem& fs, ArchiveSet& set) {
  std::unique_ptr<ReadableFile> file;
  const SystemError opened = fs.OpenForReading(set.sfv_path, file);
  if (opened != kErrorSuccess) {
    return opened;
  }
  if (!file) {
    return kErrorCrc;
  }
  LineReader reader(*file);
  std::string line;
  std::size_t cost = 0;
  bool cut = false;
  while (reader.ReadLine(line)) {
    if (IsSfvComment(line)) {
      continue;
    }
    // A line past the bound names no file any system accepts. It stays an entry, so the set
    // keeps its line count, but with an empty name and an empty CRC text: nothing matches an
    // empty text, so the entry can never verify and a cut prefix is never mistaken for a real
    // file name.
    SfvEntry entry = reader.LastLineTruncated() ? SfvEntry{} : ParseSfvLine(line);
    cost += SfvEntryCost(entry);
    if (cost > kMaxSfvEntryBytes) {
      cut = true;
      break;
    }
    set.entry_names.push_back(std::move(entry.name));
    set.expected_crcs.push_back(std::move(entry.expected_crc));
  }
  if (cut || reader.ReadFailed()) {
    // The list was not read whole, so the set must not be judged complete on it.
    set.entry_names.emplace_back();
    set.expected_crcs.emplace_back();
  }
  return kErrorSuccess;
}

std::string FormatCrc(std::uint32_t crc) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(crc));
  return std::string(text, 8);
}

bool CrcMatches(std::uint32_t crc, std::string_view expected) {
  return FormatCrc(crc) == ToUpperAscii(expected);
}

std::string WithFolderSeparators(std::string_view name) {
  std::string path(name);
  std::replace(path.begin(), path.end(), '\\', kPathSeparator);
  return path;
}

std::string SetDirectoryOf(std::string_view path) {
  const std::size_t slash = path.rfind(kPathSeparator);
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

}  // namespace qs
