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

// What the engine did: its reads and gate calls.
struct Log {
  int reads = 0;
  int reads_after_failure = 0;
  int gate_calls = 0;
};

// Says stop at its `stop_at`-th call (never when 0).
class CountingGate final : public ReadGate {
 public:
  explicit CountingGate(Log& log) : log_(log) {}
  bool Continue() override {
    ++log_.gate_calls;
    return ++calls_ != stop_at;
  }
  int stop_at = 0;

 private:
  Log& log_;
  int calls_ = 0;
};

// Serves `text` at /v, `chunk` bytes a read, failing from `fail_after` on.
class ScriptedFileSystem {
 public:
  ScriptedFileSystem() {
    disk.on_read = [this](const std::string&, long result) {
      ++(failed_ ? log.reads_after_failure : log.reads);
      failed_ = failed_ || result < 0;
    };
  }
  // Serves the script as it is now; call before each checksum.
  FileSystem& Disk() {
    failed_ = false;
    disk.Serve("/v", {text, chunk, fail_after});
    return disk;
  }

  std::string text;
  std::size_t chunk = kBlock;
  long fail_after = -1;
  Log log;
  test::TestFileSystem disk;

 private:
  bool failed_ = false;
};

class Crc32EngineTest : public ::testing::Test {
 protected:
  Crc32EngineTest() { engine_.BuildTable(); }

  std::pair<SystemError, std::uint32_t> Checksum() {
    std::uint32_t crc = 7;
    fs_.Disk();
    const SystemError error = engine_.FileCrc32("/v", crc);
    return {error, crc};
  }

  ScriptedFileSystem fs_;
  CountingGate gate_{fs_.log};
  Crc32Engine engine_{fs_.disk, &gate_};
};

// Sizes around one and several blocks, one file after the other through one engine, in both
// orders: the buffer reused for every entry carries nothing over.
TEST_F(Crc32EngineTest, MatchesOnePassOverTheBytesAroundEveryBoundary) {
  const std::size_t sizes[] = {0,
                               1,
                               kBlock - 1,
                               kBlock,
                               kBlock + 1,
                               2 * kBlock - 1,
                               2 * kBlock,
                               2 * kBlock + 1,
                               7 * kBlock + 5,
                               20 * kBlock + 70001};
  std::vector<std::size_t> order(std::begin(sizes), std::end(sizes));
  order.insert(order.end(), std::rbegin(sizes), std::rend(sizes));
  // Full blocks, then reads that fill no block.
  for (const std::size_t chunk : {kBlock, std::size_t{100000}}) {
    fs_.chunk = chunk;
    for (const std::size_t size : order) {
      fs_.text = RandomBytes(size, static_cast<unsigned>(size));
      EXPECT_EQ(Checksum(), std::make_pair(kErrorSuccess, test::ReferenceCrc(fs_.text)))
          << size << " bytes, " << chunk << " a read";
    }
  }
}

TEST_F(Crc32EngineTest, AReadFailureEndsTheDataWhereverItFalls) {
  fs_.text = RandomBytes(24 * kBlock, 5);
  const std::size_t failures[] = {0,          1,          kBlock - 1,     kBlock,
                                  kBlock + 1, 5 * kBlock, 8 * kBlock + 3, 23 * kBlock + 9};
  for (const std::size_t fail_after : failures) {
    fs_.fail_after = static_cast<long>(fail_after);
    fs_.log.reads = 0;
    EXPECT_EQ(Checksum(),
              std::make_pair(kErrorSuccess, test::ReferenceCrc(fs_.text.substr(0, fail_after))))
        << fail_after;
    // The blocks before the failure, the failing read, and nothing after it.
    EXPECT_EQ(fs_.log.reads, static_cast<int>((fail_after + kBlock - 1) / kBlock) + 1)
        << fail_after;
  }
  EXPECT_EQ(fs_.log.reads_after_failure, 0);
}

// The gate is asked after every block; once it says stop no block is read, the engine answers
// aborted and checksums the next file whole.
TEST_F(Crc32EngineTest, AStopReadsNoFurtherBlockAndLeavesTheEngineUsable) {
  const std::string long_file = RandomBytes(24 * kBlock, 9);
  const std::string next_file = RandomBytes(12 * kBlock + 1, 10);
  for (const int stop_at : {1, 2, 4, 5, 8, 9, 23}) {
    CountingGate gate(fs_.log);
    Crc32Engine engine(fs_.disk, &gate);
    engine.BuildTable();
    fs_.text = long_file;
    fs_.Disk();
    fs_.log.reads = 0;
    fs_.log.gate_calls = 0;
    gate.stop_at = stop_at;
    std::uint32_t crc = 0;
    EXPECT_EQ(engine.FileCrc32("/v", crc), kErrorOperationAborted) << stop_at;
    EXPECT_EQ(fs_.log.reads, stop_at);
    EXPECT_EQ(fs_.log.gate_calls, stop_at);
    fs_.text = next_file;
    fs_.Disk();
    EXPECT_EQ(engine.FileCrc32("/v", crc), kErrorSuccess) << stop_at;
    EXPECT_EQ(crc, test::ReferenceCrc(next_file)) << stop_at;
  }
}

// After each full block; after a short read only once the next read brought data too, so the
// end of a file follows its last block at once.
TEST_F(Crc32EngineTest, AsksTheGateAfterEveryFullBlockAndEverySecondShortRead) {
  const std::tuple<std::size_t, std::size_t, int> cases[] = {
      // size, bytes a read, gate calls
      {12 * kBlock + 5, kBlock, 12}, {12 * kBlock, kBlock, 12}, {5, kBlock, 0},      {0, kBlock, 0},
      {10 * 1000, 1000, 5},          {10 * 1000 + 1, 1000, 5},  {11 * 1000, 1000, 5}};
  for (const auto& [size, chunk, gate_calls] : cases) {
    fs_.text = RandomBytes(size, 3);
    fs_.chunk = chunk;
    fs_.log.gate_calls = 0;
    EXPECT_EQ(Checksum(), std::make_pair(kErrorSuccess, test::ReferenceCrc(fs_.text))) << size;
    EXPECT_EQ(fs_.log.gate_calls, gate_calls) << size << " bytes, " << chunk << " a read";
  }
}

}  // namespace
}  // namespace qs
