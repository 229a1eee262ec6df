// Read errors while a pass runs, in a volume or part way through an SFV file: nothing unverified
// completes, and the pass after the fault completes what is complete.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/pass_rig.h"

namespace qs {
namespace {

class PassFaultTest : public ::testing::Test, public test::PassRig {
 protected:
  void SetUp() override { settings.WriteInt("DeleteQuarrystream", 0); }
};

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
