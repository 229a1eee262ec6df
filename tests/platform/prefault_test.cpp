// Prefaulting: exactly the whole pages of a range become resident.
#include "platform/prefault.h"

#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <vector>

namespace qs {
namespace {

TEST(PrefaultForWriting, MakesResidentTheWholePagesOfTheRangeAndNoOthers) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  constexpr std::size_t kPages = 8;
  auto* const base = static_cast<unsigned char*>(
      ::mmap(nullptr, kPages * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(base, MAP_FAILED);
  // From inside page 1 to inside page 6: pages 2 to 5 are whole.
  PrefaultForWriting(base + page + 100, 5 * page);
  if (::madvise(base, page, MADV_POPULATE_WRITE) != 0) {
    GTEST_SKIP() << "this kernel cannot prefault (Linux 5.14 or later can)";
  }
  std::vector<unsigned char> resident(kPages);
  ASSERT_EQ(::mincore(base, kPages * page, resident.data()), 0);
  for (std::size_t i = 0; i < kPages; ++i) {
    // Page 0 by the probe just made.
    EXPECT_EQ(resident[i] & 1, i == 0 || (i >= 2 && i <= 5) ? 1 : 0) << i;
  }
  ::munmap(base, kPages * page);
}

}  // namespace
}  // namespace qs
