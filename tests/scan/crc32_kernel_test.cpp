#include "scan/crc32_kernel.h"

#include <gtest/gtest.h>

#include <new>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/fakes.h"

namespace qs {

// Test parameters print as the kernel's name.
void PrintTo(const Crc32Kernel& kernel, std::ostream* out) {
  *out << kernel.name;
}

namespace {

// A heap block of exactly `offset + size` bytes whose start is 64-byte aligned, so `Data()` has
// the given alignment and a read past its end is a read past the allocation (ASan sees it).
class ExactBuffer {
 public:
  ExactBuffer(std::size_t offset, const std::string& bytes, std::size_t size)
      : offset_(offset),
        block_(static_cast<unsigned char*>(
            ::operator new[](offset + size + (offset + size == 0), std::align_val_t{64}))) {
    std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size), block_ + offset);
  }
  ~ExactBuffer() { ::operator delete[](block_, std::align_val_t{64}); }
  ExactBuffer(const ExactBuffer&) = delete;
  ExactBuffer& operator=(const ExactBuffer&) = delete;
  const unsigned char* Data() const { return block_ + offset_; }

 private:
  std::size_t offset_;
  unsigned char* block_;
};

class Crc32KernelTest : public testing::TestWithParam<Crc32Kernel> {};

// The check value of the standard, then every length and alignment from several starting
// registers: the folding kernels fold the register into the first bytes, and a file arrives in
// blocks of any size, so the register must carry over any split.
TEST_P(Crc32KernelTest, MatchesTheReferenceForEveryLengthAlignmentAndStart) {
  const auto* digits = reinterpret_cast<const unsigned char*>("123456789");
  EXPECT_EQ(~GetParam().update(0xFFFFFFFFu, digits, 9), 0xCBF43926u);
  constexpr std::size_t kMaxLength = 1100;
  const std::string bytes = test::RandomBytes(kMaxLength, 1);
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  for (const std::uint32_t start : {0xFFFFFFFFu, 0x00000000u, 0x5A3C96E1u}) {
    std::vector<std::uint32_t> expected(kMaxLength + 1, start);
    for (std::size_t n = 1; n <= kMaxLength; ++n) {
      expected[n] = test::ReferenceCrcUpdate(expected[n - 1], &data[n - 1], 1);
    }
    for (std::size_t offset = 0; offset < 16; ++offset) {
      for (std::size_t length = 0; length <= kMaxLength; ++length) {
        const ExactBuffer buffer(offset, bytes, length);
        ASSERT_EQ(GetParam().update(start, buffer.Data(), length), expected[length])
            << "length " << length << ", alignment " << offset << ", start " << std::hex << start;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AvailableKernels, Crc32KernelTest,
                         testing::ValuesIn(AvailableCrc32Kernels().begin(),
                                           AvailableCrc32Kernels().end()),
                         [](const auto& info) {
                           std::string name(info.param.name);
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace qs
