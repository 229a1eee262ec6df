#include "companion/tree_check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>

#include "tests/support/temp_dir.h"

namespace qs {
namespace {

namespace fs = std::filesystem;

// What another program made of a hostile archive, judged before anything of it moves.
TEST(CheckExtractedTreeTest, RemovesEveryEntryTheRulesRefuse) {
  test::TempDir temp;
  const std::string root = temp.MakeDir("tree");
  temp.WriteFile("tree/ok/file", "kept");
  fs::create_symlink("file", root + "/ok/link");
  fs::create_symlink("../../secret", root + "/ok/up");
  fs::create_symlink("/etc", root + "/abs");
  ASSERT_EQ(mkfifo((root + "/fifo").c_str(), 0600), 0);
  fs::create_hard_link(temp.WriteFile("secret", "outside"), root + "/hard");
  std::string deep = root;
  for (int i = 0; i < 300; ++i) {
    deep += "/d";
  }
  fs::create_directories(deep);

  const TreeCheck check = CheckExtractedTree(root);

  EXPECT_EQ(check.error, "");
  EXPECT_EQ(check.refused.size(), 5u);
  // ok, ok/file, ok/link and the folders with up to 256 above them.
  EXPECT_EQ(check.entries, 3 + 257);
  EXPECT_EQ(check.bytes, 4u);
  std::set<std::string> left;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.path().filename() != "d") {
      left.insert(entry.path().lexically_relative(root).string());
    }
  }
  EXPECT_EQ(left, (std::set<std::string>{"ok", "ok/file", "ok/link"}));
  EXPECT_EQ(test::ReadFile(temp.Path("secret")), "outside");
}

}  // namespace
}  // namespace qs
