#include "scan/crc32_engine.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "tests/scan/memory_file_system.h"

namespace qs {
namespace {

// Bit by bit, without any table: an independent reference.
std::uint32_t ReferenceCrc(const std::string& data) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
  }
  return ~crc;
}

std::string RandomData(std::size_t size) {
  std::mt19937 random(1234);
  std::string data(size, '\0');
  for (char& c : data) {
    c = static_cast<char>(random() & 0xFF);
  }
  return data;
}

class CountingGate final : public ReadGate {
 public:
  explicit CountingGate(int stop_at_call = -1) : stop_at_call_(stop_at_call) {}
  bool Continue() override { return ++calls != stop_at_call_; }
  int calls = 0;

 private:
  int stop_at_call_;
};

TEST(Crc32EngineTest, TableHoldsTheReflectedPolynomial) {
  test::MemoryFileSystem fs;
  Crc32Engine engine(fs);
  EXPECT_EQ(engine.Table(), nullptr);
  engine.BuildTable();
  ASSERT_NE(engine.Table(), nullptr);
  EXPECT_EQ(engine.Table()[0], 0u);
  EXPECT_EQ(engine.Table()[1], 0x77073096u);
  EXPECT_EQ(engine.Table()[128], 0xEDB88320u);
  EXPECT_EQ(engine.Table()[255], 0x2D02EF8Du);
  engine.FreeTable();
  EXPECT_EQ(engine.Table(), nullptr);
}

struct ContentCase {
  std::string content;
  std::size_t chunk;  // how many bytes one read of the file returns at most
  std::uint32_t crc;
};

class FileCrcTest : public ::testing::TestWithParam<ContentCase> {};

TEST_P(FileCrcTest, GivesTheIsoHdlcCrc) {
  test::MemoryFileSystem fs;
  fs.Add("/f", GetParam().content, GetParam().chunk);
  Crc32Engine engine(fs);
  engine.BuildTable();
  std::uint32_t crc = 1;
  EXPECT_EQ(engine.FileCrc32("/f", crc), kErrorSuccess);
  EXPECT_EQ(crc, GetParam().crc);
}

INSTANTIATE_TEST_SUITE_P(
    Contents, FileCrcTest,
    ::testing::Values(ContentCase{"123456789", 4096, 0xCBF43926u},
                      ContentCase{"123456789", 1, 0xCBF43926u},
                      ContentCase{"123456789", 4, 0xCBF43926u}, ContentCase{"", 4096, 0u},
                      // Several read blocks, with reads that do not fill a block.
                      ContentCase{RandomData(300 * 1024 + 17), 1 << 20,
                                  ReferenceCrc(RandomData(300 * 1024 + 17))},
                      ContentCase{RandomData(70000), 4095, ReferenceCrc(RandomData(70000))}));

TEST(Crc32EngineTest, WithoutATableAnswersDataErrorAndZero) {
  test::MemoryFileSystem fs;
  fs.Add("/f", "123456789");
  Crc32Engine engine(fs);
  std::uint32_t crc = 7;
  EXPECT_EQ(engine.FileCrc32("/f", crc), kErrorCrc);
  EXPECT_EQ(crc, 0u);
  engine.BuildTable();
  engine.FreeTable();
  crc = 7;
  EXPECT_EQ(engine.FileCrc32("/f", crc), kErrorCrc);
  EXPECT_EQ(crc, 0u);
}

class OpenErrorTest : public ::testing::TestWithParam<SystemError> {};

TEST_P(OpenErrorTest, ReturnsTheOpenErrorAndZero) {
  test::MemoryFileSystem fs;
  fs.FailOpen("/f", GetParam());
  Crc32Engine engine(fs);
  engine.BuildTable();
  std::uint32_t crc = 7;
  EXPECT_EQ(engine.FileCrc32("/f", crc), GetParam());
  EXPECT_EQ(crc, 0u);
}

INSTANTIATE_TEST_SUITE_P(Errors, OpenErrorTest,
                         ::testing::Values(kErrorFileNotFound, kErrorPathNotFound,
                                           kErrorAccessDenied, kErrorSharingViolation));

TEST(Crc32EngineTest, AReadErrorGoesUnreportedAndTheCrcCoversWhatWasRead) {
  test::MemoryFileSystem fs;
  fs.AddFactory("/f", [] { return std::make_unique<test::StringFile>("123456789", 2, 4); });
  Crc32Engine engine(fs);
  engine.BuildTable();
  std::uint32_t crc = 0;
  EXPECT_EQ(engine.FileCrc32("/f", crc), kErrorSuccess);
  EXPECT_EQ(crc, 0x9BE3E0A3u);  // CRC of "1234"
}

TEST(Crc32EngineTest, TheGateIsAskedBetweenBlocks) {
  const std::string data = RandomData(2 * Crc32Engine::kReadBlockSize + 5);
  test::MemoryFileSystem fs;
  fs.Add("/f", data, 1 << 20);
  CountingGate gate;
  Crc32Engine engine(fs, &gate);
  engine.BuildTable();
  std::uint32_t crc = 0;
  EXPECT_EQ(engine.FileCrc32("/f", crc), kErrorSuccess);
  EXPECT_EQ(crc, ReferenceCrc(data));
  EXPECT_EQ(gate.calls, 3);  // three blocks of at most kReadBlockSize
}

TEST(Crc32EngineTest, AGateThatSaysStopAbortsTheChecksum) {
  test::MemoryFileSystem fs;
  int reads = 0;
  fs.AddFactory("/f", [&reads] {
    return std::make_unique<test::StringFile>(RandomData(3 * Crc32Engine::kReadBlockSize), 1 << 20,
                                              -1, &reads);
  });
  CountingGate gate(2);
  Crc32Engine engine(fs, &gate);
  engine.BuildTable();
  std::uint32_t crc = 0;
  const SystemError result = engine.FileCrc32("/f", crc);
  EXPECT_EQ(result, kErrorOperationAborted);
  EXPECT_EQ(gate.calls, 2);
  EXPECT_EQ(reads, 2);  // nothing read after the stop
}

}  // namespace
}  // namespace qs
