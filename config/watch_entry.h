// One watched directory: where archive sets arrive and where they are to be unpacked.
#pragma once

#include <cstdint>
#include <string>

namespace qs {

struct WatchEntry {
  // Paths are stored whole, however long; nothing cuts them at a fixed width.
  std::string source;
  std::string destination;
  // Exactly 1 means scanned; any other number is kept and written back unchanged.
  std::int32_t include = 0;

  friend bool operator==(const WatchEntry&, const WatchEntry&) = default;
};

}  // namespace qs
