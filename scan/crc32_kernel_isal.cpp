// Intel ISA-L's CRC-32: its own dispatcher picks carry-less-multiply folding (x86-64, up to
// AVX-512 VPCLMULQDQ) or the CRC and PMULL instructions (ARMv8) for this processor.
#include "scan/crc32_kernel_sources.h"

#if QS_HAVE_ISAL
#include <isa-l/crc.h>
#endif

namespace qs {

#if QS_HAVE_ISAL
namespace {

// crc32_gzip_refl takes and returns the complemented CRC; our kernels pass the raw register.
std::uint32_t IsalUpdate(std::uint32_t crc, const unsigned char* data, std::size_t size) {
  return ~crc32_gzip_refl(~crc, data, size);
}

}  // namespace

std::vector<Crc32Kernel> LibraryCrc32Kernels() {
  return {{"isal", IsalUpdate}};
}
#else
std::vector<Crc32Kernel> LibraryCrc32Kernels() {
  return {};
}
#endif

}  // namespace qs
