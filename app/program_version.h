// The program's own version, 0.1.1 build 137, as its version block and its crash reports carry
// it.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/version_block.h"

namespace qs {

inline constexpr std::uint16_t kVersionMajor = 0;
inline constexpr std::uint16_t kVersionMinor = 1;
inline constexpr std::uint16_t kVersionPatch = 1;
inline constexpr std::uint16_t kVersionBuild = 137;

// The file version as the version block's string table writes it.
inline constexpr std::string_view kFileVersionText = "0, 1, 1, 137";

inline constexpr VersionBlockBytes kProgramVersionBlock =
    MakeVersionBlock(kVersionMajor, kVersionMinor, kVersionPatch, kVersionBuild, kFileVersionText);

}  // namespace qs
