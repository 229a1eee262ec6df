// Faults while a pass runs, injected at a chosen call: folders that cannot be read, a read error
// at the end of a volume. Nothing unverified completes, and the next pass after the fault
// completes what is complete. (Files that vanish or change kind under a pass are tested with the
// pass and with the file system.)
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/reliability/pass_rig.h"
#include "tests/support/faulty_file_system.h"

namespace qs {
namespace {

using test::FaultyFileSystem;
using test::FsOperation;
using test::PassRig;

class PassFaultTest : public ::testing::Test {
 protected:
  void SetUp() override { rig_.settings.WriteInt("DeleteQuarrystream", 0); }

  PassRig rig_;
  FaultyFileSystem disk_{RealFileSystem()};
};

// Takes read permission from `path`; where that changes nothing (the tests run as root), the
// same refusal is injected instead, so the case is tested either way.
void DenyReading(const std::string& path, FaultyFileSystem& disk, FsOperation operation) {
  ::chmod(path.c_str(), 0);
  if (::access(path.c_str(), R_OK) == 0) {
    disk.FailEveryCall(operation, kErrorAccessDenied, path);
  }
}

TEST_F(PassFaultTest, AnUnreadableFolderAddsNothingAndTheRestIsChecked) {
  rig_.WriteSet("in/open", "o.sfv", {{"o.rar", "ooo"}});
  rig_.WriteSet("in/closed", "c.sfv", {{"c.rar", "ccc"}});
  rig_.WriteSet("in/closed/deeper", "d.sfv", {{"d.rar", "ddd"}});
  rig_.AddRow(rig_.temp.Path("in"));
  const std::string closed = rig_.temp.Path("in/closed");
  DenyReading(closed, disk_, FsOperation::kListDirectory);

  ASSERT_EQ(rig_.Run(disk_), 1u);
  EXPECT_EQ(rig_.CompletedSfvPaths(), std::vector<std::string>{rig_.temp.Path("in/open/o.sfv")});

  ::chmod(closed.c_str(), 0755);
  disk_.ClearFaults();
  // The open set completes again: completions are only recorded here, no marker is written.
  ASSERT_EQ(rig_.Run(disk_), 1u);
  EXPECT_EQ(rig_.recorder.performed.size(), 4u);
}

// Listed whole while the tree is walked, unreadable when its files are looked for.
TEST_F(PassFaultTest, AFolderThatTurnsUnreadableAfterTheWalkAddsNothing) {
  rig_.WriteSet("in/D", "x.sfv", {{"x.rar", "xxx"}});
  rig_.AddRow(rig_.temp.Path("in"));
  disk_.FailNthCall(FsOperation::kListDirectory, 2, kErrorAccessDenied, "/in/D");
  ASSERT_EQ(rig_.Run(disk_), 1u);
  EXPECT_TRUE(rig_.recorder.performed.empty());
  EXPECT_EQ(disk_.Calls(FsOperation::kOpenForReading), 0);
  ASSERT_EQ(rig_.Run(disk_), 1u);
  EXPECT_EQ(rig_.recorder.performed.size(), 1u);
}

struct ReadErrorCase {
  const char* label;
  std::size_t fail_after;  // bytes of b.rar read before the error
  bool verified;
};

class ReadErrorTest : public PassFaultTest, public ::testing::WithParamInterface<ReadErrorCase> {};

TEST_P(ReadErrorTest, OnlyAVolumeReadWholeVerifies) {
  const std::string big(300000, 'b');
  rig_.WriteSet("in/D", "x.sfv", {{"a.rar", "aaa"}, {"b.rar", big}});
  rig_.AddRow(rig_.temp.Path("in"));
  disk_.FailReadsAfter("/b.rar", GetParam().fail_after);
  ASSERT_EQ(rig_.Run(disk_), 1u);
  EXPECT_EQ(rig_.recorder.performed.size(), GetParam().verified ? 1u : 0u);
  if (!GetParam().verified) {
    EXPECT_EQ(test::ReadFile(rig_.StateFile("in/D")), "a.rar 1\r\nb.rar 0\r\n");
    disk_.ClearFaults();
    ASSERT_EQ(rig_.Run(disk_), 1u);
    EXPECT_EQ(rig_.recorder.performed.size(), 1u);
  }
}

INSTANTIATE_TEST_SUITE_P(Offsets, ReadErrorTest,
                         ::testing::Values(ReadErrorCase{"OneByteShort", 299999, false},
                                           // Every byte was read: the error only ends the data.
                                           ReadErrorCase{"AfterTheLastByte", 300000, true}),
                         [](const auto& info) { return info.param.label; });

}  // namespace
}  // namespace qs
