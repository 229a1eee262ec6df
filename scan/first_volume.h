// Which entry of a set the companion program opens first: x.rar of x.rar/x.r00, x.part01.rar of
// x.partNN.rar, x.001 of x.001/x.002, x.zip.
#pragma once

#include <string>
#include <string_view>

namespace qs {

// Whether `name` can be the first volume: its extension is RAR, 001 or ZIP (any case), and when
// it contains ".part" (lower case), the part number right after it is 1, 01 or 001.
bool IsFirstVolumeCandidate(std::string_view name);

// Applied to every entry name in state-file order: a candidate replaces the current choice, so
// the last candidate wins.
inline void ApplyFirstVolumeRule(std::string_view name, std::string& first_volume_name) {
  if (IsFirstVolumeCandidate(name)) {
    first_volume_name.assign(name);
  }
}

}  // namespace qs
