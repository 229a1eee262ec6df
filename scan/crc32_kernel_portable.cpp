#include "scan/crc32_kernel.h"

#include <array>

namespace qs {
namespace {

constexpr std::uint32_t kReflectedPolynomial = 0xEDB88320u;
constexpr std::size_t kSlices = 16;

using SliceTables = std::array<std::array<std::uint32_t, 256>, kSlices>;

// tables[0] is the classic table; tables[k][b] is the register after byte b followed by k zero
// bytes, so sixteen lookups together advance the register by sixteen bytes.
constexpr SliceTables MakeSliceTables() {
  SliceTables tables{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) {
      c = (c & 1u) != 0 ? (c >> 1) ^ kReflectedPolynomial : c >> 1;
    }
    tables[0][i] = c;
  }
  for (std::size_t k = 1; k < kSlices; ++k) {
    for (std::size_t i = 0; i < 256; ++i) {
      const std::uint32_t previous = tables[k - 1][i];
      tables[k][i] = (previous >> 8) ^ tables[0][previous & 0xFFu];
    }
  }
  return tables;
}

constexpr SliceTables kTables = MakeSliceTables();

// Byte by byte, so the kernel is the same on either byte order; compilers turn it into one load
// on little-endian machines.
inline std::uint32_t LoadLittleEndian32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint32_t SliceBy16Update(std::uint32_t crc, const unsigned char* data, std::size_t size) {
  const auto& t = kTables;
  while (size >= kSlices) {
    const std::uint32_t a = crc ^ LoadLittleEndian32(data);
    crc = t[15][a & 0xFFu] ^ t[14][(a >> 8) & 0xFFu] ^ t[13][(a >> 16) & 0xFFu] ^ t[12][a >> 24] ^
          t[11][data[4]] ^ t[10][data[5]] ^ t[9][data[6]] ^ t[8][data[7]] ^ t[7][data[8]] ^
          t[6][data[9]] ^ t[5][data[10]] ^ t[4][data[11]] ^ t[3][data[12]] ^ t[2][data[13]] ^
          t[1][data[14]] ^ t[0][data[15]];
    data += kSlices;
    size -= kSlices;
  }
  while (size-- > 0) {
    crc = (crc >> 8) ^ t[0][(crc ^ *data++) & 0xFFu];
  }
  return crc;
}

constexpr Crc32Kernel kPortableKernel{"portable-slice16", SliceBy16Update};

}  // namespace

const Crc32Kernel& PortableCrc32Kernel() {
  return kPortableKernel;
}

}  // namespace qs
