#include "scan/crc32_kernel.h"

#include <gtest/gtest.h>

#include <cstdlib>
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

using test::ReferenceCrcUpdate;

std::vector<unsigned char> PseudoRandomBytes(std::size_t size) {
  const std::string bytes = test::RandomBytes(size, 1);
  return {bytes.begin(), bytes.end()};
}

// A heap block of exactly `offset + size` bytes whose start is 64-byte aligned, so `Data()` has
// the given alignment and a read past its end is a read past the allocation (ASan sees it).
class ExactBuffer {
 public:
  ExactBuffer(std::size_t offset, const unsigned char* bytes, std::size_t size)
      : offset_(offset),
        block_(static_cast<unsigned char*>(
            ::operator new[](offset + size + (offset + size == 0), std::align_val_t{64}))) {
    std::copy(bytes, bytes + size, block_ + offset);
  }
  ~ExactBuffer() { ::operator delete[](block_, std::align_val_t{64}); }
  ExactBuffer(const ExactBuffer&) = delete;
  ExactBuffer& operator=(const ExactBuffer&) = delete;
  const unsigned char* Data() const { return block_ + offset_; }

 private:
  std::size_t offset_;
  unsigned char* block_;
};

std::string KernelTestName(const testing::TestParamInfo<Crc32Kernel>& info) {
  std::string name(info.param.name);
  for (char& c : name) {
    if (c == '-') {
      c = '_';
    }
  }
  return name;
}

class Crc32KernelTest : public testing::TestWithParam<Crc32Kernel> {};

TEST_P(Crc32KernelTest, GivesTheCheckValueOfTheStandard) {
  const std::string digits = "123456789";
  const auto* data = reinterpret_cast<const unsigned char*>(digits.data());
  EXPECT_EQ(~GetParam().update(0xFFFFFFFFu, data, digits.size()), 0xCBF43926u);
  EXPECT_EQ(GetParam().update(0xFFFFFFFFu, data, 0), 0xFFFFFFFFu);
}

TEST_P(Crc32KernelTest, MatchesTheReferenceForEveryLengthAndAlignment) {
  constexpr std::size_t kMaxLength = 1100;
  constexpr std::size_t kAlignments = 16;
  const std::vector<unsigned char> bytes = PseudoRandomBytes(kMaxLength);
  // The starting register matters to the folding kernels, which fold it into the first bytes.
  for (const std::uint32_t start : {0xFFFFFFFFu, 0x00000000u, 0x5A3C96E1u}) {
    std::vector<std::uint32_t> expected(kMaxLength + 1);
    expected[0] = start;
    for (std::size_t n = 1; n <= kMaxLength; ++n) {
      expected[n] = ReferenceCrcUpdate(expected[n - 1], &bytes[n - 1], 1);
    }
    for (std::size_t offset = 0; offset < kAlignments; ++offset) {
      for (std::size_t length = 0; length <= kMaxLength; ++length) {
        const ExactBuffer buffer(offset, bytes.data(), length);
        ASSERT_EQ(GetParam().update(start, buffer.Data(), length), expected[length])
            << "length " << length << ", alignment " << offset << ", start " << std::hex << start;
      }
    }
  }
}

// A file arrives in blocks of whatever size a read returns; the register must carry over any
// split, including splits inside a folding kernel's lanes and its tail.
TEST_P(Crc32KernelTest, UnevenBlocksGiveTheSameCrcAsOneCall) {
  const std::vector<unsigned char> bytes = PseudoRandomBytes(700 * 1024 + 5);
  const std::uint32_t whole = GetParam().update(0xFFFFFFFFu, bytes.data(), bytes.size());
  EXPECT_EQ(whole, ReferenceCrcUpdate(0xFFFFFFFFu, bytes.data(), bytes.size()));

  const std::vector<std::vector<std::size_t>> patterns = {
      {1, 3, 7, 4096, 65537}, {131072}, {65537, 1}, {255, 257, 511, 513}, {15, 16, 17, 63, 64}};
  for (const auto& pattern : patterns) {
    std::uint32_t crc = 0xFFFFFFFFu;
    std::size_t done = 0;
    for (std::size_t i = 0; done < bytes.size(); ++i) {
      const std::size_t block = std::min(pattern[i % pattern.size()], bytes.size() - done);
      crc = GetParam().update(crc, bytes.data() + done, block);
      done += block;
    }
    EXPECT_EQ(crc, whole) << "first block size " << pattern.front();
  }
}

INSTANTIATE_TEST_SUITE_P(AvailableKernels, Crc32KernelTest,
                         testing::ValuesIn(AvailableCrc32Kernels().begin(),
                                           AvailableCrc32Kernels().end()),
                         KernelTestName);

TEST(Crc32KernelListTest, EndsWithThePortableKernelAndNamesEachKernelOnce) {
  const auto kernels = AvailableCrc32Kernels();
  ASSERT_FALSE(kernels.empty());
  EXPECT_EQ(kernels.back().update, PortableCrc32Kernel().update);
  for (std::size_t i = 0; i < kernels.size(); ++i) {
    for (std::size_t j = i + 1; j < kernels.size(); ++j) {
      EXPECT_NE(kernels[i].name, kernels[j].name);
    }
  }
}

TEST(Crc32KernelChoiceTest, TheEnvironmentValueDecidesBetweenFastestAndPortable) {
  const Crc32Kernel fastest{"fastest", PortableCrc32Kernel().update};
  const std::vector<Crc32Kernel> available = {fastest, PortableCrc32Kernel()};
  struct Case {
    const char* value;
    bool portable;
  };
  for (const Case& c : {Case{nullptr, false}, Case{"", false}, Case{"0", false}, Case{"1", true},
                        Case{"yes", true}}) {
    EXPECT_EQ(ChooseCrc32Kernel(available, c.value).name,
              c.portable ? PortableCrc32Kernel().name : fastest.name)
        << (c.value == nullptr ? "unset" : c.value);
  }
  EXPECT_EQ(ChooseCrc32Kernel({}, nullptr).name, PortableCrc32Kernel().name);
}

// The choice is made once per process, so each case runs in a freshly started child.
TEST(Crc32KernelChoiceDeathTest, ActiveKernelFollowsTheEnvironmentOfTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setenv("QUARRYSTREAM_CRC_PORTABLE", "1", 1);
        std::exit(ActiveCrc32Kernel().name == PortableCrc32Kernel().name ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
  EXPECT_EXIT(
      {
        unsetenv("QUARRYSTREAM_CRC_PORTABLE");
        std::exit(ActiveCrc32Kernel().name == AvailableCrc32Kernels().front().name ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace qs
