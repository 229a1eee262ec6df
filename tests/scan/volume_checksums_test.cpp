// The checksums of a set's volumes on two threads: every result belongs to its own volume and
// comes back in queue order.
#include "scan/volume_checksums.h"

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

}  // namespace
}  // namespace qs
