// Faults while a pass runs, injected at a chosen call: folders that cannot be read, a read error
// in a volume or part way through an SFV file. Nothing unverified completes, and the pass after
// the fault completes what is complete. (Files that vanish or change kind under a pass are
// tested with the pass and with the file system.)
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/pass_rig.h"

namespace qs {
namespace {

using test::FsOperation;

class PassFaultTest : public ::testing::Test, public test::PassRig {
 protected:
  void SetUp() override { settings.WriteInt("DeleteQuarrystream", 0); }
};

TEST_F(PassFaultTest, AnUnreadableFolderAddsNothingAndTheRestIsChecked) {
  WriteSet("in/open", "o.sfv", {{"o.rar", "ooo"}});
  WriteSet("in/closed", "c.sfv", {{"c.rar", "ccc"}});
  WriteSet("in/closed/deeper", "d.sfv", {{"d.rar", "ddd"}});
  AddRow(temp.Path("in"));
  const std::string closed = temp.Path("in/closed");
  ::chmod(closed.c_str(), 0);
  if (::access(closed.c_str(), R_OK) == 0) {  // as root: the same refusal, injected
    fs.FailEveryCall(FsOperation::kListDirectory, kErrorAccessDenied, closed);
  }
  ASSERT_EQ(RunPass(), 1u);
  EXPECT_EQ(CompletedSfvs(), std::vector<std::string>{temp.Path("in/open/o.sfv")});

  ::chmod(closed.c_str(), 0755);
  fs.ClearFaults();
  // The open set completes again: completions are only recorded here, no marker is written.
  ASSERT_EQ(RunPass(), 1u);
  EXPECT_EQ(completed.size(), 4u);
}

// Listed whole while the tree is walked, unreadable when its files are looked for.
TEST_F(PassFaultTest, AFolderThatTurnsUnreadableAfterTheWalkAddsNothing) {
  WriteSet("in/D", "x.sfv", {{"x.rar", "xxx"}});
  AddRow(temp.Path("in"));
  fs.FailNthCall(FsOperation::kListDirectory, 2, kErrorAccessDenied, "/in/D");
  ASSERT_EQ(RunPass(), 1u);
  EXPECT_TRUE(completed.empty());
  EXPECT_EQ(fs.Calls(FsOperation::kOpenForReading), 0);
  ASSERT_EQ(RunPass(), 1u);
  EXPECT_EQ(completed.size(), 1u);
}

// A read error one byte short of the end leaves b.rar unverified until it reads whole; one after
// the last byte only ends the data.
TEST_F(PassFaultTest, OnlyAVolumeReadWholeVerifies) {
  const std::string big(300000, 'b');
  WriteSet("in/D", "x.sfv", {{"a.rar", "aaa"}, {"b.rar", big}});
  AddRow(temp.Path("in"));
  const std::string b = temp.Path("in/D/b.rar");
  fs.Serve(b, {big, 4096, static_cast<long>(big.size()) - 1});
  ASSERT_EQ(RunPass(), 1u);
  EXPECT_TRUE(completed.empty());
  EXPECT_EQ(test::ReadFile(StateFile("in/D")), "a.rar 1\r\nb.rar 0\r\n");
  fs.Serve(b, {big, 4096, static_cast<long>(big.size())});
  ASSERT_EQ(RunPass(), 1u);
  EXPECT_EQ(completed.size(), 1u);
}

TEST_F(PassFaultTest, AnSfvFileCutShortByAReadErrorNeverCompletesTheSet) {
  const std::string sfv = WriteSet("in/D", "x.sfv", {{"a.rar", "aaa"}, {"b.rar", "bbb"}});
  AddRow(temp.Path("in"));
  // It breaks off after its comment and the first entry; b.rar is never listed.
  const std::string text = test::ReadFile(sfv);
  fs.Serve(sfv, {text, 4096, static_cast<long>(text.find("b.rar"))});
  ASSERT_EQ(RunPass(), 1u);
  EXPECT_TRUE(completed.empty());
  // Read whole again, the list pairs b.rar with the marker's state line, which rebuilds it;
  // the pass after that completes the set.
  fs.Serve(sfv, {text});
  ASSERT_EQ(RunPass(), 1u);
  EXPECT_TRUE(completed.empty());
  ASSERT_EQ(RunPass(), 1u);
  EXPECT_EQ(completed.size(), 1u);
}

}  // namespace
}  // namespace qs
