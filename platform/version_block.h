// The version a program file carries about itself: the fixed file information of a Windows
// version resource, followed by the file version as the resource's string table writes it. On
// Windows it is the version resource; on ELF systems the same bytes travel in a note section of
// the executable, so that the file itself answers, whoever asks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qs {

// The fixed file information record, 13 little-endian 32-bit words (52 bytes).
struct FixedFileInfo {
  std::uint32_t dwSignature = 0;
  std::uint32_t dwStrucVersion = 0;
  std::uint32_t dwFileVersionMS = 0;
  std::uint32_t dwFileVersionLS = 0;
  std::uint32_t dwProductVersionMS = 0;
  std::uint32_t dwProductVersionLS = 0;
  std::uint32_t dwFileFlagsMask = 0;
  std::uint32_t dwFileFlags = 0;
  std::uint32_t dwFileOS = 0;
  std::uint32_t dwFileType = 0;
  std::uint32_t dwFileSubtype = 0;
  std::uint32_t dwFileDateMS = 0;
  std::uint32_t dwFileDateLS = 0;
};

inline constexpr std::size_t kFixedFileInfoSize = 52;
inline constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;

// The block: the fixed record, then the version text, zero-padded to 16 bytes.
inline constexpr std::size_t kVersionTextSize = 16;
inline constexpr std::size_t kVersionBlockSize = kFixedFileInfoSize + kVersionTextSize;
using VersionBlockBytes = std::array<unsigned char, kVersionBlockSize>;

// Where an ELF file keeps the block: a note of this owner and type in this section.
inline constexpr std::string_view kVersionSectionName = ".note.quarrystream.version";
inline constexpr char kVersionNoteOwner[] = "Quarrystream";
inline constexpr std::uint32_t kVersionNoteType = 0x5156;  // "VQ"

// The block for version major.minor.patch.build (file and product version alike), with `text`
// as the string table's file version, e.g. "0, 1, 1, 137".
constexpr VersionBlockBytes MakeVersionBlock(std::uint16_t major, std::uint16_t minor,
                                             std::uint16_t patch, std::uint16_t build,
                                             std::string_view text) {
  VersionBlockBytes bytes{};
  const std::uint32_t most = (std::uint32_t{major} << 16) | minor;
  const std::uint32_t least = (std::uint32_t{patch} << 16) | build;
  // Signature, structure version 1.0, file version, product version, flags mask, flags, OS
  // (32-bit Windows: the record's own convention), type (an application), subtype, date.
  const std::uint32_t words[13] = {kFixedFileInfoSignature,
                                   0x00010000,
                                   most,
                                   least,
                                   most,
                                   least,
                                   0x3F,
                                   0,
                                   0x00000004,
                                   0x00000001,
                                   0,
                                   0,
                                   0};
  for (std::size_t i = 0; i < 13; ++i) {
    for (std::size_t b = 0; b < 4; ++b) {
      bytes[i * 4 + b] = static_cast<unsigned char>((words[i] >> (8 * b)) & 0xFF);
    }
  }
  for (std::size_t i = 0; i < text.size() && i + 1 < kVersionTextSize; ++i) {
    bytes[kFixedFileInfoSize + i] = static_cast<unsigned char>(text[i]);
  }
  return bytes;
}

// The raw version block of the program file at `path`, read from the file; empty when the
// file cannot be read, is not a program file of this platform or carries no block.
std::vector<unsigned char> ReadVersionBlock(const std::string& path);

}  // namespace qs
