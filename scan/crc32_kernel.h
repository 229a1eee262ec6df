// CRC-32 (ISO-HDLC: reflected 0xEDB88320, as zlib and PKZIP) over a buffer, with the fastest
// kernel the processor offers, chosen once at run time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace qs {

// Continues a raw (not complemented) CRC register over `data`: the caller starts with
// 0xFFFFFFFF and complements at the end, exactly as the table-per-byte loop does.
using Crc32UpdateFunction = std::uint32_t (*)(std::uint32_t crc, const unsigned char* data,
                                              std::size_t size);

struct Crc32Kernel {
  std::string_view name;
  Crc32UpdateFunction update;
};

// The kernel chosen for this processor; the environment variable QUARRYSTREAM_CRC_PORTABLE=1
// forces the portable one. Safe to call from any thread; the choice is made on the first call.
const Crc32Kernel& ActiveCrc32Kernel();
// The portable kernel, available everywhere.
const Crc32Kernel& PortableCrc32Kernel();

// Every kernel this processor can run, most preferred first; the portable kernel is always the
// last. Tests and benchmarks run them all.
std::span<const Crc32Kernel> AvailableCrc32Kernels();

// The rule behind ActiveCrc32Kernel: the first of `available`, or the portable kernel when
// `portable_request` (the value of QUARRYSTREAM_CRC_PORTABLE, null when unset) is set to
// anything but "" or "0".
const Crc32Kernel& ChooseCrc32Kernel(std::span<const Crc32Kernel> available,
                                     const char* portable_request);

}  // namespace qs
