// The second engine: `unar` (The Unarchiver's command-line tool), for RAR sets libarchive cannot
// read. Started by argument vector, never through a shell; what it writes is checked before it
// moves (see tree_check.h).
#pragma once

#include <string>

namespace qs {

struct UnarResult {
  bool installed = true;  // false: the program could not be started at all
  bool succeeded = false;
  std::string error;  // one line, when not succeeded
};

// Extracts the set starting at `first_volume` into the empty folder `directory`; its messages
// go to `log_file`, whose last line becomes the error. `program` is "unar" from PATH unless
// given.
UnarResult ExtractWithUnar(const std::string& first_volume, const std::string& directory,
                           const std::string& log_file, const std::string& program = "unar");

}  // namespace qs
