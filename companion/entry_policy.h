// Which archive entries the companion writes. libarchive's secure-extraction flags already
// refuse names with ".." or a leading '/' and writing through symlinks; this adds what they
// leave open (device files, links that point out of the destination) and gives each refusal a
// reason a user can read.
#pragma once

#include <string>
#include <string_view>

namespace qs {

enum class EntryKind { kRegular, kDirectory, kSymlink, kHardlink, kSpecial };

// Empty when the entry may be written; otherwise why it is skipped. `link_target` is the
// symlink's content or the hardlink's target name, empty for other kinds.
std::string RefusalReason(EntryKind kind, std::string_view pathname, std::string_view link_target,
                          bool encrypted);

// Whether `target`, read relative to the directory of the archive name `link_path`, stays inside
// the extraction root. Absolute targets never do.
bool SymlinkStaysInside(std::string_view link_path, std::string_view target);

}  // namespace qs
