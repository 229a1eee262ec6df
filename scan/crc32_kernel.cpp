#include "scan/crc32_kernel.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "scan/crc32_kernel_sources.h"

namespace qs {
namespace {

std::vector<Crc32Kernel> CollectKernels() {
  std::vector<Crc32Kernel> kernels = RankCrc32Kernels(LibraryCrc32Kernels());
  kernels.push_back(PortableCrc32Kernel());
  return kernels;
}

}  // namespace

std::span<const Crc32Kernel> AvailableCrc32Kernels() {
  static const std::vector<Crc32Kernel> kernels = CollectKernels();
  return kernels;
}

const Crc32Kernel& ChooseCrc32Kernel(std::span<const Crc32Kernel> available,
                                     const char* portable_request) {
  const bool forced = portable_request != nullptr && portable_request[0] != '\0' &&
                      std::strcmp(portable_request, "0") != 0;
  if (forced || available.empty()) {
    return PortableCrc32Kernel();
  }
  return available.front();
}

const Crc32Kernel& ActiveCrc32Kernel() {
  static const Crc32Kernel& active =
      ChooseCrc32Kernel(AvailableCrc32Kernels(), std::getenv("QUARRYSTREAM_CRC_PORTABLE"));
  return active;
}

}  // namespace qs
