// Where the CRC-32 kernels come from, gathered by the run-time choice in crc32_kernel.cpp.
#pragma once

#include <vector>

#include "scan/crc32_kernel.h"

namespace qs {

// The library's kernels merged with our own kernels for this architecture, keeping those this
// processor runs, fastest first as measured on this architecture (the portable kernel is not
// among them). One file per architecture defines it (crc32_kernel_x86.cpp,
// crc32_kernel_armv8.cpp, crc32_kernel_generic.cpp), chosen by CMake.
std::vector<Crc32Kernel> RankCrc32Kernels(std::vector<Crc32Kernel> library);

// The ISA-L kernel (it picks its own code for this processor) when the library is linked;
// empty otherwise.
std::vector<Crc32Kernel> LibraryCrc32Kernels();

}  // namespace qs
