// The engine's checksum of files of many blocks: the same CRC as one pass over the bytes wherever
// a file ends, a read fails or a stop comes, and no read after the data ended or the gate said
// stop.
#include "scan/crc32_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/fakes.h"

namespace qs {
namespace {

constexpr std::size_t kBlock = Crc32Engine::kReadBlockSize;

using test::RandomBytes;

// The engine's gate, saying stop at its `stop_at`-th call (never when 0).
class Crc32EngineTest : public ::testing::Test, public ReadGate {
 protected:
  Crc32EngineTest() {
    fs_.on_read = [this](const std::string&, long result) {
      ++(failed_ ? reads_after_failure_ : reads_);
      failed_ = failed_ || result < 0;
    };
    engine_.BuildTable();
  }
  bool Continue() override { return ++gate_calls_ != stop_at_; }

  // Serves `text` at /v, `chunk` bytes a read, failing from `fail_after` on, and checksums it.
  std::pair<SystemError, std::uint32_t> Checksum(const std::string& text,
                                                 std::size_t chunk = kBlock, long fail_after = -1) {
    fs_.Serve("/v", {text, chunk, fail_after});
    failed_ = false;
    reads_ = gate_calls_ = 0;
    std::uint32_t crc = 7;
    const SystemError error = engine_.FileCrc32("/v", crc);
    return {error, crc};
  }

  test::TestFileSystem fs_;
  Crc32Engine engine_{fs_, this};
  int reads_ = 0, reads_after_failure_ = 0, gate_calls_ = 0, stop_at_ = 0;
  bool failed_ = false;
};

// Sizes around one and several blocks, one file after the other through one engine, in both
// orders (the buffer reused for every entry carries nothing over), in full blocks and in reads
// that fill no block.
TEST_F(Crc32EngineTest, MatchesOnePassOverTheBytesAroundEveryBoundary) {
  std::vector<std::size_t> order = {0,          1,          kBlock - 1,     kBlock,
                                    kBlock + 1, 2 * kBlock, 2 * kBlock + 1, 20 * kBlock + 70001};
  order.insert(order.end(), order.rbegin(), order.rend());
  for (const std::size_t chunk : {kBlock, std::size_t{100000}}) {
    for (const std::size_t size : order) {
      const std::string text = RandomBytes(size, static_cast<unsigned>(size));
      EXPECT_EQ(Checksum(text, chunk), std::make_pair(kErrorSuccess, test::ReferenceCrc(text)))
          << size << " bytes, " << chunk << " a read";
    }
  }
}

// A read failure ends the data: the blocks before it, the failing read, and nothing after it.
TEST_F(Crc32EngineTest, AReadFailureEndsTheDataWhereverItFalls) {
  const std::string text = RandomBytes(24 * kBlock, 5);
  for (const std::size_t fail_after : {0ul, 1ul, kBlock - 1, kBlock, kBlock + 1, 23 * kBlock + 9}) {
    EXPECT_EQ(Checksum(text, kBlock, static_cast<long>(fail_after)),
              std::make_pair(kErrorSuccess, test::ReferenceCrc(text.substr(0, fail_after))))
        << fail_after;
    EXPECT_EQ(reads_, static_cast<int>((fail_after + kBlock - 1) / kBlock) + 1) << fail_after;
  }
  EXPECT_EQ(reads_after_failure_, 0);
}

// Once the gate says stop no block is read, the engine answers aborted and checksums the next
// file whole.
TEST_F(Crc32EngineTest, AStopReadsNoFurtherBlockAndLeavesTheEngineUsable) {
  const std::string long_file = RandomBytes(24 * kBlock, 9);
  const std::string next_file = RandomBytes(12 * kBlock + 1, 10);
  for (const int stop_at : {1, 2, 5, 23}) {
    stop_at_ = stop_at;
    EXPECT_EQ(Checksum(long_file).first, kErrorOperationAborted) << stop_at;
    EXPECT_EQ(reads_, stop_at);
    EXPECT_EQ(gate_calls_, stop_at);
    stop_at_ = 0;
    EXPECT_EQ(Checksum(next_file), std::make_pair(kErrorSuccess, test::ReferenceCrc(next_file)));
  }
}

}  // namespace
}  // namespace qs
