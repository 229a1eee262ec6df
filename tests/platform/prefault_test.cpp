// Prefaulting: exactly the whole pages of a range become resident, and the range stays usable.
#include "platform/prefault.h"

#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace qs {
namespace {

TEST(PrefaultForWriting, MakesResidentTheWholePagesOfTheRangeAndNoOthers) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  constexpr std::size_t kPages = 8;
  auto* const base = static_cast<unsigned char*>(
      ::mmap(nullptr, kPages * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(base, MAP_FAILED);
  auto resident = [&] {
    std::vector<unsigned char> pages(kPages);
    EXPECT_EQ(::mincore(base, kPages * page, pages.data()), 0);
    std::vector<bool> in;
    for (const unsigned char flags : pages) {
      in.push_back((flags & 1) != 0);
    }
    return in;
  };
  ASSERT_EQ(resident(), std::vector<bool>(kPages, false));

  // From inside page 1 to inside page 6: pages 2 to 5 are whole.
  PrefaultForWriting(base + page + 100, 5 * page);
  std::vector<bool> expected(kPages, false);
  for (std::size_t i = 2; i <= 5; ++i) {
    expected[i] = true;
  }
  if (::madvise(base, page, MADV_POPULATE_WRITE) != 0) {
    GTEST_SKIP() << "this kernel cannot prefault (Linux 5.14 or later can)";
  }
  expected[0] = true;  // by the probe just made
  EXPECT_EQ(resident(), expected);
  for (std::size_t i = 0; i < kPages * page; ++i) {
    ASSERT_EQ(base[i], 0) << i;
  }
  std::memset(base, 0x5a, kPages * page);
  ::munmap(base, kPages * page);
}

}  // namespace
}  // namespace qs
