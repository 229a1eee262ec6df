// The companion's command line as Quarrystream passes it, already split into arguments:
// "/ADDRAR:<first volume>" "/DESTINATION:<directory>" and optionally "/TOTRAY".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qs {

struct CompanionOptions {
  std::string first_volume;  // may name only the set's directory when it has no first volume
  std::string destination;
  bool quiet = false;  // "/TOTRAY": no progress lines, only errors
};

enum class OptionsStatus { kRun, kHelp, kUsageError };

struct ParsedOptions {
  OptionsStatus status = OptionsStatus::kUsageError;
  CompanionOptions options;
  std::string error;  // one line, set with kUsageError
};

// `args` are the arguments after the program name. Option names match in any letter case, in
// any order; values are taken as they stand, spaces and doubled separators included.
ParsedOptions ParseCompanionOptions(const std::vector<std::string_view>& args);

// The help text, ending with a newline.
std::string_view CompanionUsage();

}  // namespace qs
