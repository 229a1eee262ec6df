// The files of an archive set, found from its first volume: the later volumes follow from the
// first one's naming scheme, in reading order, and the list ends at the first one missing.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qs {

enum class VolumeNaming {
  kSingleFile,     // x.zip, x.7z, anything else: the file alone
  kPartNumbered,   // x.part01.rar, x.part02.rar, ...: the number keeps its width
  kOldStyleRar,    // x.rar, x.r00, ..., x.r99, x.s00, ...
  kSplitNumbered,  // x.001, x.002, ...: byte-split pieces of one stream
};

// Decided on the file name alone (the part after the last '/'); extensions in any case.
VolumeNaming ClassifyVolumeName(std::string_view path);

using PathExists = std::function<bool(const std::string& path)>;

// `first_volume` followed by each next volume for which `exists` holds, stopping at the first
// that does not, so a missing middle volume cuts the set there. Later names keep the letter
// case of the first one's extension and are formed in the first volume's directory.
std::vector<std::string> FindVolumes(std::string_view first_volume, const PathExists& exists);

}  // namespace qs
