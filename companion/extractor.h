// Reads one archive set, given as its volumes in reading order, with libarchive: a survey of
// its headers before anything is written, then the extraction into a folder. Nothing is written
// outside that folder.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace qs {

enum class SetFailure {
  kNone,
  kUnreadable,  // damaged, cut short, a volume missing, or a method libarchive lacks
  kEncrypted,   // no password can be asked for
  kNoSpace,     // does not fit the destination
  kWrite,       // the disk refused a write
};

struct SetSurvey {
  SetFailure failure = SetFailure::kNone;
  std::string error;  // one line, with a failure
  std::string format;
  bool rar = false;  // RAR 4 or RAR 5, whether or not libarchive could read on
  bool size_known = false;
  std::uint64_t unpacked_bytes = 0;  // of the regular files, when size_known
};

// Opens the set and reads its headers without writing anything. The walk through the headers
// is left out where it would mean decompressing everything (compressed tar): the size is then
// unknown.
SetSurvey SurveyArchiveSet(const std::vector<std::string>& volumes);

struct ExtractionCallbacks {
  // Each entry just before it is written, by its name in the archive.
  std::function<void(std::string_view name)> on_entry;
  // Each refused entry: one line naming it and the reason.
  std::function<void(std::string_view message)> on_problem;
  // Each warning about metadata (times or modes a file system cannot keep): one line.
  std::function<void(std::string_view message)> on_note;
  // Bytes of file data written so far, after each block.
  std::function<void(std::uint64_t bytes)> on_progress;
};

struct ExtractionLimits {
  // Free space for the data: a set whose declared sizes add up to more is stopped before the
  // entry that would not fit is written.
  std::uint64_t free_bytes = std::numeric_limits<std::uint64_t>::max();
};

struct ExtractionResult {
  int entries_written = 0;
  int entries_skipped = 0;  // refused by the rules; each reported through on_problem
  std::uint64_t bytes_written = 0;
  SetFailure failure = SetFailure::kNone;
  std::string error;  // set with a failure: the set is incomplete; one line
  bool Succeeded() const { return failure == SetFailure::kNone && entries_skipped == 0; }
};

// `directory` is created with its parents when missing, once the archive has opened; doubled
// and trailing separators are accepted. The process's working directory is the directory while
// entries are written (so that libarchive's checks apply to the archive's own names only) and
// is restored afterwards: not for use while other threads depend on the working directory.
ExtractionResult ExtractArchiveSet(const std::vector<std::string>& volumes,
                                   std::string_view directory,
                                   const ExtractionCallbacks& callbacks = {},
                                   const ExtractionLimits& limits = {});

}  // namespace qs
