// Which archive entries the companion writes. libarchive's secure-extraction flags already
// refuse names with ".." or a leading '/' and writing through symlinks; this adds what they
// leave open (device files, links that could lead out of the destination, trees too deep to
// handle) and gives each refusal a reason a user can read. The same rules judge a tree that
// another program extracted.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qs {

enum class EntryKind { kRegular, kDirectory, kSymlink, kHardlink, kSpecial };

inline constexpr std::size_t kMaxEntryDepth = 256;       // folders above an entry
inline constexpr std::size_t kMaxEntryPathBytes = 4096;  // the whole relative name

// Empty when the entry may be written; otherwise why it is refused. `link_target` is the
// symlink's content or the hardlink's target name, empty for other kinds. A symlink is refused
// whenever its target is absolute or holds "..": then no chain of links, earlier ones of the
// same archive included, can resolve out of the folder it is extracted into.
std::string RefusalReason(EntryKind kind, std::string_view pathname, std::string_view link_target);

}  // namespace qs
