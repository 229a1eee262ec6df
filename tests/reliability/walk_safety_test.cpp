// The walk over hostile trees: a tree deeper than the longest path the system takes, and a
// folder of 200,000 entries. Each pass ends normally with what is reachable found once, within
// a bounded amount of memory. (Links in the tree are tested with the pass.)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/pass_rig.h"

namespace qs {
namespace {

using test::PassRig;

void WriteAt(int folder, const std::string& name, const std::string& content) {
  const int fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0) << name;
  ASSERT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  ::close(fd);
}

// A set of one volume written through a folder descriptor, so the path may be of any length.
void WriteSetAt(int folder, const std::string& volume) {
  WriteAt(folder, volume, "content of " + volume);
  WriteAt(folder, "x.sfv", volume + " " + test::CrcText("content of " + volume) + "\r\n");
}

// `depth` folders named `name`, one inside the other, under `root`, with a set in those whose
// level (1 = the first) is in `sets_at`. Built folder by folder through descriptors, since the
// full path may exceed PATH_MAX; removed by rm, which walks the same way.
class DeepTree {
 public:
  DeepTree(const std::string& root, int depth, const std::string& name,
           const std::vector<int>& sets_at)
      : root_(root), name_(name) {
    int folder = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 1; level <= depth && folder >= 0; ++level) {
      ::mkdirat(folder, name.c_str(), 0755);
      const int next = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      ::close(folder);
      folder = next;
      if (std::find(sets_at.begin(), sets_at.end(), level) != sets_at.end()) {
        WriteSetAt(folder, "level" + std::to_string(level) + ".rar");
      }
    }
    ::close(folder);
  }
  ~DeepTree() { test::ChildProcess({"/bin/rm", "-rf", PathOf(1)}).Wait(); }
  DeepTree(const DeepTree&) = delete;
  DeepTree& operator=(const DeepTree&) = delete;

  // The path of level `level`.
  std::string PathOf(int level) const {
    std::string path = root_;
    for (int i = 0; i < level; ++i) {
      path += "/" + name_;
    }
    return path;
  }

 private:
  std::string root_;
  std::string name_;
};

// With long folder names the path passes PATH_MAX part way down: what lies below cannot be
// listed, and the pass ends normally with the sets above.
TEST(WalkSafetyTest, ATreeDeeperThanTheLongestPathEndsWhereListingsFail) {
  PassRig rig;
  const std::string in = rig.temp.MakeDir("in");
  const std::string name(40, 'n');
  const int reachable = static_cast<int>((PATH_MAX - in.size() - 64) / (name.size() + 1));
  ASSERT_LT(reachable, 200);
  const DeepTree tree(in, 200, name, {1, reachable, 200});
  rig.AddRow(in);
  ASSERT_EQ(rig.RunPass(), 1u);
  EXPECT_EQ(rig.CompletedSfvs(), (std::vector<std::string>{
                                     tree.PathOf(1) + "/x.sfv",
                                     tree.PathOf(reachable) + "/x.sfv",
                                 }));
}

TEST(WalkSafetyTest, AFolderOfTwoHundredThousandEntriesIsListedWithinBoundedMemory) {
  PassRig rig;
  const std::string crowded = rig.temp.MakeDir("in/crowded");
  const int folder = ::open(crowded.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(folder, 0);
  for (int i = 0; i < 199000; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "file-%06d.r%02d", i, i % 100);
    const int fd = ::openat(folder, name, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
  }
  for (int i = 0; i < 998; ++i) {
    ASSERT_EQ(::mkdirat(folder, ("folder-" + std::to_string(i)).c_str(), 0755), 0);
  }
  WriteSetAt(folder, "crowded.rar");
  ::close(folder);
  rig.WriteSet("in/crowded/folder-7", "y.sfv", {{"y.rar", "yyy"}});
  rig.AddRow(rig.temp.Path("in"));

  const test::ChildRun run = test::RunInChild(
      [&] { return rig.RunPass() == 1 ? static_cast<long>(rig.completed.size()) : -1L; });
  ASSERT_GE(run.peak_growth, 0) << "the pass did not end normally";
  RecordProperty("peak_growth_kib", static_cast<int>(run.peak_growth / 1024));
  EXPECT_EQ(run.result, 2);
  if (!test::kSanitized) {
    EXPECT_LT(run.peak_growth, 100L << 20) << (run.peak_growth >> 20) << " MiB";
  }
}

}  // namespace
}  // namespace qs
