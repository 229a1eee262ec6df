// Architectures without an own accelerated kernel: ISA-L where it is linked, else the portable
// kernel.
#include "scan/crc32_kernel_sources.h"

namespace qs {

std::vector<Crc32Kernel> NativeCrc32Kernels() {
  return {};
}

}  // namespace qs
