// The checksums of a set's volumes on two threads: every result belongs to its own volume and
// comes back in queue order, the owner works on rather than wait for the helper, and a stop or
// the end leaves no checksum running.
#include "scan/volume_checksums.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

constexpr std::size_t kBlock = Crc32Engine::kReadBlockSize;

using test::RandomBytes;

class StopGate final : public ReadGate {
 public:
  explicit StopGate(const ManualResetEvent& stop) : stop_(stop) {}
  bool Continue() override { return !stop_.IsSet(); }

 private:
  const ManualResetEvent& stop_;
};

class VolumeChecksumsTest : public ::testing::Test {
 protected:
  std::string Serve(const std::string& name, std::string text, long fail_after = -1) {
    fs.Serve(temp.Path(name), test::FakeContent{std::move(text), kBlock, fail_after});
    return name;
  }

  test::TempDir temp;
  test::TestFileSystem fs;
  std::shared_ptr<FolderHandle> folder = fs.OpenFolder(temp.path() + "/");
  ManualResetEvent stop;
  StopGate gate{stop};
};

// Volumes of many sizes, missing ones and one whose reading fails, taken with a few queued
// ahead as the set check does, the helper released now and then, many times over to give the
// threads every chance to mix them up.
TEST_F(VolumeChecksumsTest, EachResultIsItsOwnVolumesInQueueOrder) {
  const std::size_t sizes[] = {0, 1, kBlock, kBlock + 1, 3 * kBlock + 17, 1000};
  std::vector<std::string> names;
  std::vector<std::pair<SystemError, std::uint32_t>> expected;
  for (unsigned i = 0; i < 28; ++i) {
    const std::string name = "v" + std::to_string(i);
    if (i % 9 == 4) {
      names.push_back(name);  // not there
      expected.emplace_back(kErrorFileNotFound, 0);
    } else if (i % 9 == 7) {
      // The failed read ends the data: the CRC of what was read, which cannot match.
      const std::string text = RandomBytes(2 * kBlock, i);
      names.push_back(Serve(name, text, static_cast<long>(kBlock + 5)));
      expected.emplace_back(kErrorSuccess, test::ReferenceCrc(text.substr(0, kBlock + 5)));
    } else {
      const std::string text = RandomBytes(sizes[i % std::size(sizes)], i);
      names.push_back(Serve(name, text));
      expected.emplace_back(kErrorSuccess, test::ReferenceCrc(text));
    }
  }
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    fs.ResetCounts();
    VolumeChecksums checksums(fs, gate, 2);
    std::size_t queued = 0;
    for (std::size_t taken = 0; taken < names.size(); ++taken) {
      if (taken % 10 == 9) {
        checksums.Release();  // with volumes pending: the next Queue starts another helper
      }
      while (queued < names.size() && queued < taken + 4) {
        checksums.Queue(folder, names[queued++]);
      }
      std::uint32_t crc = 0;
      EXPECT_EQ(std::make_pair(checksums.TakeNext(crc), crc), expected[taken]) << taken;
    }
    EXPECT_EQ(checksums.Pending(), 0u);
    for (const std::string& name : names) {
      EXPECT_EQ(fs.verified[temp.Path(name)], 1) << name;
    }
  }
}

// The helper is held inside the oldest volume; the owner, asked for its result, checksums the
// next volume itself, and that is what lets the helper go on.
TEST_F(VolumeChecksumsTest, TheOwnerChecksumsTheNextVolumeWhileTheHelperHoldsTheOldest) {
  const std::string first_text = RandomBytes(3 * kBlock, 1);
  const std::string second_text = RandomBytes(kBlock + 3, 2);
  const std::string first = Serve("first", first_text);
  const std::string second = Serve("second", second_text);
  ManualResetEvent second_opened;
  pid_t second_opener = 0;
  fs.before_verify = [&](const std::string& path) {
    if (path == temp.Path(second)) {
      second_opener = ::gettid();
      second_opened.Set();
    }
  };
  fs.HoldRead(temp.Path(first), 2);
  VolumeChecksums checksums(fs, gate, 2);
  checksums.Queue(folder, first);
  fs.read_hold.WaitEntered();  // the helper has the first volume
  fs.read_hold.ReleaseWhen(second_opened);
  checksums.Queue(folder, second);
  std::uint32_t crc = 0;
  EXPECT_EQ(checksums.TakeNext(crc), kErrorSuccess);
  EXPECT_EQ(crc, test::ReferenceCrc(first_text));
  EXPECT_EQ(second_opener, ::gettid());
  EXPECT_EQ(checksums.TakeNext(crc), kErrorSuccess);
  EXPECT_EQ(crc, test::ReferenceCrc(second_text));
}

// A stop reaches the helper between two blocks; the volumes queued after it read at most one
// block each, End() returns with nothing running, and nothing is pending afterwards.
TEST_F(VolumeChecksumsTest, AStopEndsTheHelpersChecksumBetweenBlocksAndEndLeavesNothingRunning) {
  const std::string big = Serve("big", RandomBytes(40 * kBlock, 3));
  const std::string more[] = {Serve("more1", RandomBytes(40 * kBlock, 4)),
                              Serve("more2", RandomBytes(40 * kBlock, 5))};
  fs.HoldRead(temp.Path(big), 2);
  VolumeChecksums checksums(fs, gate, 2);
  checksums.Queue(folder, big);
  fs.read_hold.WaitEntered();
  stop.Set();
  fs.read_hold.Release();
  std::uint32_t crc = 0;
  EXPECT_EQ(checksums.TakeNext(crc), kErrorOperationAborted);
  EXPECT_EQ(fs.blocks[temp.Path(big)], 2);
  for (const std::string& path : more) {
    checksums.Queue(folder, path);
  }
  checksums.End();
  EXPECT_EQ(checksums.Pending(), 0u);
  for (const std::string& path : more) {
    EXPECT_LE(fs.blocks[temp.Path(path)], 1) << path;
  }
  // After the end the owner computes alone, still within the stop.
  checksums.Queue(folder, more[0]);
  EXPECT_EQ(checksums.TakeNext(crc), kErrorOperationAborted);
}

}  // namespace
}  // namespace qs
