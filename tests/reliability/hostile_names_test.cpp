// Names a stranger's download may carry: spaces, quotes, shell syntax, line breaks, leading
// dashes, bytes that are not UTF-8, NUL bytes. They are verified, handed off and substituted as
// literal text, and never make anything run but the companion and the post-execution program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/reliability/pass_rig.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

using namespace std::string_literals;

// The system would read such a path only up to the NUL and act on "x.rar": every operation
// refuses it instead, and the file before the NUL is left alone.
TEST(HostileNamesTest, APathWithANulByteNamesNoFile) {
  test::TempDir temp;
  const std::string before_nul = temp.WriteFile("x.rar", "volume");
  temp.MakeDir("x.dir");
  const std::string nul = before_nul + "\0.r00"s;
  FileSystem& fs = RealFileSystem();
  std::unique_ptr<ReadableFile> file;
  EXPECT_EQ(fs.OpenForVerify(nul, file), kErrorInvalidName);
  EXPECT_EQ(file, nullptr);
  EXPECT_EQ(fs.OpenForReading(nul, file), kErrorInvalidName);
  std::vector<DirectoryEntry> entries;
  EXPECT_FALSE(fs.ListDirectory(temp.Path("x.dir") + "\0x"s, entries));
  EXPECT_EQ(fs.WriteFileAtomically(nul, "replaced"), kErrorInvalidName);
  EXPECT_EQ(fs.CreateEmptyFile(nul), kErrorInvalidName);
  EXPECT_EQ(fs.MoveFileNoReplace(nul, temp.Path("moved")), kErrorInvalidName);
  EXPECT_EQ(fs.MoveFileNoReplace(before_nul, temp.Path("moved") + "\0x"s), kErrorInvalidName);
  EXPECT_EQ(fs.DeleteFile(nul), kErrorInvalidName);
  EXPECT_EQ(test::ReadFile(before_nul), "volume");
  EXPECT_FALSE(test::Exists(temp.Path("moved")));
}

TEST(HostileNamesTest, ANameWithANulByteNeverVerifiesAgainstTheFileBeforeIt) {
  test::PassRig rig;
  rig.temp.WriteFile("in/D/x.rar", "aaa");
  rig.temp.WriteFile("in/D/x.sfv", std::string("x.rar\0.r00 ", 11) + test::CrcOf("aaa") + "\r\n");
  rig.AddRow(rig.temp.Path("in"));
  test::FaultyFileSystem fs(RealFileSystem());
  ASSERT_EQ(rig.Run(fs), 1u);
  EXPECT_EQ(fs.Calls(test::FsOperation::kOpenForVerify), 1);
  EXPECT_TRUE(rig.recorder.performed.empty());
}

}  // namespace
}  // namespace qs
