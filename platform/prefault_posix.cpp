#include "platform/prefault.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace qs {

void PrefaultForWriting(void* start, std::size_t size) {
#ifdef MADV_POPULATE_WRITE
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto begin = reinterpret_cast<std::uintptr_t>(start);
  const std::uintptr_t first = (begin + page - 1) & ~(page - 1);
  const std::uintptr_t last = (begin + size) & ~(page - 1);
  if (last > first) {
    ::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
  }
#else
  (void)start;
  (void)size;
#endif
}

void PrefaultThreadHeap(std::size_t size) {
  void* const block = std::malloc(size);
  if (block != nullptr) {
    PrefaultForWriting(block, size);
    std::free(block);
  }
}

}  // namespace qs
