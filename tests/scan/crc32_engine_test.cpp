// The engine's checksum of files of many blocks: the same CRC as one pass over the bytes wherever
// a file ends, a read fails or a stop comes, and no read after the data ended or the gate said
// stop.
#include "scan/crc32_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
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

// The gate is asked after each full block; after a short read only once the next read brought
// data too, so the end of a file follows its last block at once.
TEST_F(Crc32EngineTest, AsksTheGateAfterEveryFullBlockAndEverySecondShortRead) {
  const std::tuple<std::size_t, std::size_t, int> cases[] = {
      // size, bytes a read, gate calls
      {12 * kBlock + 5, kBlock, 12}, {12 * kBlock, kBlock, 12}, {5, kBlock, 0},
      {10 * 1000, 1000, 5},          {10 * 1000 + 1, 1000, 5},  {11 * 1000, 1000, 5}};
  for (const auto& [size, chunk, gate_calls] : cases) {
    const std::string text = RandomBytes(size, 3);
    EXPECT_EQ(Checksum(text, chunk), std::make_pair(kErrorSuccess, test::ReferenceCrc(text)));
    EXPECT_EQ(gate_calls_, gate_calls) << size << " bytes, " << chunk << " a read";
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

// Before BuildTable, after FreeTable, or when the volume cannot be opened, the CRC is zero.
TEST_F(Crc32EngineTest, FailuresLeaveZero) {
  engine_.FreeTable();
  EXPECT_EQ(Checksum("123456789"), std::make_pair(kErrorCrc, 0u));
  engine_.BuildTable();
  for (SystemError error : {kErrorFileNotFound, kErrorSharingViolation}) {
    fs_.fail_open = [error](const std::string&) { return error; };
    EXPECT_EQ(Checksum("123456789"), std::make_pair(error, 0u));
  }
}

}  // namespace
}  // namespace qs
