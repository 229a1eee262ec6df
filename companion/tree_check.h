// Checks a staging tree that another program extracted, before anything of it moves: the same
// rules as for libarchive's entries, judged with lstat on what is really there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qs {

struct TreeCheck {
  int entries = 0;                   // kept
  std::uint64_t bytes = 0;           // in the regular files kept
  std::vector<std::string> refused;  // "name: reason", each one removed from the tree
  std::string error;                 // the tree could not be walked: nothing of it may move
};

// Removes from `root` every special file, symbolic link whose target is absolute or holds
// "..", file with more than one link, and entry too deep or too long a name.
TreeCheck CheckExtractedTree(const std::string& root);

}  // namespace qs
