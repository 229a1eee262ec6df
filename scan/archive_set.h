// One SFV file with the entries it lists, verified as a unit within one check of the set.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qs {

struct ArchiveSet {
  std::string sfv_path;
  std::string set_directory;  // sfv_path up to and including its last separator
  std::vector<std::string> entry_names;
  std::vector<std::string> expected_crcs;  // parallel to entry_names
  std::vector<std::uint32_t> statuses;     // one per state-file line: 0 not verified, 1 verified
  std::string first_volume_name;
};

}  // namespace qs
