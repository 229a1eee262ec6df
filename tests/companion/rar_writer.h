// Stored (uncompressed) RAR 5 volume sets, written from the published description of the
// format, so that the companion's tests can extract the sets users get without a RAR tool.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qs::test {

struct RarEntry {
  std::string name;  // UTF-8, '/'-separated
  std::string content;
  bool directory = false;
};

// Writes `base` + ".part01.rar", … ; every volume but the last carries `volume_data` bytes of
// file data, so files run on from one volume into the next. Returns the volumes in order.
std::vector<std::string> WriteRarSet(const std::string& base, const std::vector<RarEntry>& entries,
                                     std::size_t volume_data);

}  // namespace qs::test
