// Extracts one archive set, given as its volumes in reading order, into a destination directory
// with libarchive. Nothing is written outside the destination.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qs {

struct ExtractionCallbacks {
  // Each entry just before it is written, by its name in the archive.
  std::function<void(std::string_view name)> on_entry;
  // Each entry that is skipped or left incomplete: one line naming the entry and the reason.
  std::function<void(std::string_view message)> on_problem;
};

struct ExtractionResult {
  int entries_written = 0;
  int entries_skipped = 0;  // refused, unreadable or incomplete; reported through on_problem
  std::string error;        // set when the set could not be read to its end; one line
  bool Succeeded() const { return error.empty() && entries_skipped == 0; }
};

// `destination` is created with its parents when missing; doubled and trailing separators are
// accepted. The process's working directory is the destination while entries are written (so
// that libarchive's checks apply to the archive's own names only) and is restored afterwards:
// not for use while other threads depend on the working directory.
ExtractionResult ExtractArchiveSet(const std::vector<std::string>& volumes,
                                   std::string_view destination,
                                   const ExtractionCallbacks& callbacks = {});

}  // namespace qs
