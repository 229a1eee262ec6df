// The CRC32 instructions of ARMv8 (optional in ARMv8.0, present from ARMv8.1). CMake builds this
// file with the +crc extension; the processor is asked at run time before the kernel is used.
#include "scan/crc32_kernel_sources.h"

#include <arm_acle.h>
#include <sys/auxv.h>

#include <cstring>
#include <utility>

#ifndef HWCAP_CRC32
#define HWCAP_CRC32 (1 << 7)
#endif

namespace qs {
namespace {

std::uint64_t Load64(const unsigned char* p) {
  std::uint64_t value;
  std::memcpy(&value, p,
              sizeof value);  // CRC32X takes the bytes little-endian, as Linux on ARMv8 stores them
  return value;
}

// One dependent chain of CRC32X, eight bytes an instruction. Where ISA-L is linked it is
// preferred: its own dispatcher picks CRC32- or PMULL-based code to suit the core.
std::uint32_t Armv8Update(std::uint32_t crc, const unsigned char* data, std::size_t size) {
  while (size >= 64) {
    crc = __crc32d(crc, Load64(data));
    crc = __crc32d(crc, Load64(data + 8));
    crc = __crc32d(crc, Load64(data + 16));
    crc = __crc32d(crc, Load64(data + 24));
    crc = __crc32d(crc, Load64(data + 32));
    crc = __crc32d(crc, Load64(data + 40));
    crc = __crc32d(crc, Load64(data + 48));
    crc = __crc32d(crc, Load64(data + 56));
    data += 64;
    size -= 64;
  }
  while (size >= 8) {
    crc = __crc32d(crc, Load64(data));
    data += 8;
    size -= 8;
  }
  while (size > 0) {
    crc = __crc32b(crc, *data++);
    --size;
  }
  return crc;
}

}  // namespace

std::vector<Crc32Kernel> RankCrc32Kernels(std::vector<Crc32Kernel> library) {
  std::vector<Crc32Kernel> ranked = std::move(library);
  if ((getauxval(AT_HWCAP) & HWCAP_CRC32) != 0) {
    ranked.push_back({"armv8-crc32", Armv8Update});
  }
  return ranked;
}

}  // namespace qs
