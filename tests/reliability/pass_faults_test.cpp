// Faults while a pass runs, injected at a chosen call: a volume deleted or replaced between the
// listing and its checksum, an SFV file gone after it was found, folders and volumes that cannot
// be read, a read error part way through a volume. Nothing hangs, nothing unverified completes,
// and the next pass after the fault completes what is complete.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/reliability/pass_rig.h"
#include "tests/support/faulty_file_system.h"

namespace qs {
namespace {

namespace fs = std::filesystem;
using test::FaultyFileSystem;
using test::FsOperation;
using test::PassRig;

void WriteAt(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

class PassFaultTest : public ::testing::Test {
 protected:
  void SetUp() override { rig_.settings.WriteInt("DeleteQuarrystream", 0); }

  // Runs `change` once, just before the first call of `operation` on a path ending in `name`.
  void OnceBefore(FsOperation operation, const std::string& name, std::function<void()> change) {
    auto done = std::make_shared<bool>(false);
    disk_.SetBeforeCall([=](FsOperation called, const std::string& path) {
      if (!*done && called == operation && path.ends_with("/" + name)) {
        *done = true;
        change();
      }
    });
  }

  PassRig rig_;
  FaultyFileSystem disk_{RealFileSystem()};
};

struct VolumeChange {
  const char* label;
  std::function<void(const std::string& path)> apply;
};

std::vector<VolumeChange> VolumeChanges() {
  return {
      {"Deleted", [](const std::string& path) { fs::remove(path); }},
      {"ReplacedWithOtherContent",
       [](const std::string& path) {
         fs::remove(path);
         WriteAt(path, "not the volume");
       }},
      {"ReplacedByAFolder",
       [](const std::string& path) {
         fs::remove(path);
         fs::create_directory(path);
       }},
      {"ReplacedByAFifo",
       [](const std::string& path) {
         fs::remove(path);
         ::mkfifo(path.c_str(), 0600);
       }},
      {"ReplacedByALinkToADevice",
       [](const std::string& path) {
         fs::remove(path);
         fs::create_symlink("/dev/zero", path);
       }},
      {"ReplacedByADanglingLink",
       [](const std::string& path) {
         fs::remove(path);
         fs::create_symlink(path + ".nowhere", path);
       }},
  };
}

class VolumeChangeTest : public PassFaultTest,
                         public ::testing::WithParamInterface<VolumeChange> {};

TEST_P(VolumeChangeTest, TheVolumeStaysUnverifiedAndTheNextPassCompletesTheSet) {
  rig_.WriteSet("in/D", "x.sfv", {{"a.rar", "aaa"}, {"b.rar", "bbb"}});
  rig_.AddRow(rig_.temp.Path("in"));
  const std::string volume = rig_.temp.Path("in/D/b.rar");
  OnceBefore(FsOperation::kOpenForVerify, "b.rar", [&] { GetParam().apply(volume); });

  ASSERT_EQ(rig_.Run(disk_), 1u);
  EXPECT_EQ(rig_.Count(WM_SCAN_FINISHED), 1u);
  EXPECT_TRUE(rig_.recorder.performed.empty());
  EXPECT_EQ(test::ReadFile(rig_.StateFile("in/D")), "a.rar 1\r\nb.rar 0\r\n");

  fs::remove_all(volume);
  WriteAt(volume, "bbb");
  ASSERT_EQ(rig_.Run(disk_), 1u);
  EXPECT_EQ(rig_.recorder.performed.size(), 1u);
  EXPECT_EQ(test::ReadFile(rig_.StateFile("in/D")), "a.rar 1\r\nb.rar 1\r\n");
}

INSTANTIATE_TEST_SUITE_P(Changes, VolumeChangeTest, ::testing::ValuesIn(VolumeChanges()),
                         [](const auto& info) { return info.param.label; });

struct SfvChange {
  const char* label;
  std::function<void(const std::string& path)> apply;
};

class SfvChangeTest : public PassFaultTest, public ::testing::WithParamInterface<SfvChange> {};

// The SFV files sit at three depths, so the walk finds them in this order: A, then B, then C.
TEST_P(SfvChangeTest, ThePassEndsEarlyAndTheNextPassProceeds) {
  rig_.WriteSet("in/A", "a.sfv", {{"a.rar", "aaa"}});
  rig_.WriteSet("in/A/B", "b.sfv", {{"b.rar", "bbb"}});
  rig_.WriteSet("in/A/B/C", "c.sfv", {{"c.rar", "ccc"}});
  rig_.AddRow(rig_.temp.Path("in"));
  const std::string sfv = rig_.temp.Path("in/A/B/b.sfv");
  OnceBefore(FsOperation::kOpenForReading, "b.sfv", [&] { GetParam().apply(sfv); });

  ASSERT_EQ(rig_.Run(disk_), 0u);
  EXPECT_EQ(rig_.Count(WM_SCAN_FINISHED), 0u);
  EXPECT_EQ(rig_.CompletedSfvPaths(), std::vector<std::string>{rig_.temp.Path("in/A/a.sfv")});
  EXPECT_FALSE(test::Exists(rig_.StateFile("in/A/B/C")));  // never reached

  // The SFV file is gone for good now; the next pass checks everything else.
  fs::remove_all(sfv);
  ASSERT_EQ(rig_.Run(disk_), 1u);
  EXPECT_EQ(rig_.Count(WM_SCAN_FINISHED), 1u);
  EXPECT_EQ(rig_.CompletedSfvPaths(),
            (std::vector<std::string>{rig_.temp.Path("in/A/a.sfv"), rig_.temp.Path("in/A/a.sfv"),
                                      rig_.temp.Path("in/A/B/C/c.sfv")}));
}

INSTANTIATE_TEST_SUITE_P(
    Changes, SfvChangeTest,
    ::testing::Values(SfvChange{"Deleted", [](const std::string& path) { fs::remove(path); }},
                      SfvChange{"ReplacedByAFifo",
                                [](const std::string& path) {
                                  fs::remove(path);
                                  ::mkfifo(path.c_str(), 0600);
                                }},
                      SfvChange{"ReplacedByAFolder",
                                [](const std::string& path) {
                                  fs::remove(path);
                                  fs::create_directory(path);
                                }}),
    [](const auto& info) { return info.param.label; });

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

TEST_F(PassFaultTest, VolumesThatCannotBeReadStayUnverified) {
  rig_.WriteSet("in/D", "x.sfv", {{"a.rar", "aaa"}, {"b.rar", "bbb"}});
  rig_.AddRow(rig_.temp.Path("in"));
  for (const char* name : {"a.rar", "b.rar"}) {
    DenyReading(rig_.temp.Path(std::string("in/D/") + name), disk_, FsOperation::kOpenForVerify);
  }
  ASSERT_EQ(rig_.Run(disk_), 1u);
  EXPECT_TRUE(rig_.recorder.performed.empty());
  EXPECT_EQ(test::ReadFile(rig_.StateFile("in/D")), "a.rar 0\r\nb.rar 0\r\n");

  ::chmod(rig_.temp.Path("in/D/a.rar").c_str(), 0644);
  ::chmod(rig_.temp.Path("in/D/b.rar").c_str(), 0644);
  disk_.ClearFaults();
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
                         ::testing::Values(ReadErrorCase{"AtTheStart", 0, false},
                                           ReadErrorCase{"AfterOneBlock", 4096, false},
                                           ReadErrorCase{"InTheMiddle", 150001, false},
                                           ReadErrorCase{"OneByteShort", 299999, false},
                                           // Every byte was read: the error only ends the data.
                                           ReadErrorCase{"AfterTheLastByte", 300000, true}),
                         [](const auto& info) { return info.param.label; });

TEST_F(PassFaultTest, AStateFileThatCannotBeCreatedEndsThePassAndTheNextProceeds) {
  rig_.WriteSet("in/A", "a.sfv", {{"a.rar", "aaa"}});
  rig_.WriteSet("in/A/B", "b.sfv", {{"b.rar", "bbb"}});
  rig_.AddRow(rig_.temp.Path("in"));
  disk_.FailNthCall(FsOperation::kWriteFileAtomically, 1, kErrorDiskFull, "/in/A/B/");
  ASSERT_EQ(rig_.Run(disk_), 0u);
  EXPECT_EQ(rig_.CompletedSfvPaths(), std::vector<std::string>{rig_.temp.Path("in/A/a.sfv")});
  EXPECT_FALSE(test::Exists(rig_.StateFile("in/A/B")));
  // The completions here are only recorded (no marker is written), so A completes again.
  ASSERT_EQ(rig_.Run(disk_), 1u);
  EXPECT_EQ(rig_.CompletedSfvPaths(),
            (std::vector<std::string>{rig_.temp.Path("in/A/a.sfv"), rig_.temp.Path("in/A/a.sfv"),
                                      rig_.temp.Path("in/A/B/b.sfv")}));
}

}  // namespace
}  // namespace qs
