// A run of the companion on a set: its exit status and what it leaves in the destination; one
// killed mid-run as a whole process.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "companion/companion_run.h"
#include "tests/companion/archive_builder.h"
#include "tests/companion/rar_writer.h"
#include "tests/support/child_process.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

namespace fs = std::filesystem;

std::set<std::string> TopLevel(const std::string& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

class MirrowenProgramTest : public ::testing::Test {
 protected:
  int Extract(const std::string& first, const std::string& destination) {
    return RunCompanion({first, destination, true}, environment_);
  }
  std::string MakeZip() {
    return temp_.WriteFile("in/my set/x.zip",
                           test::BuildArchive(test::FixtureFormat::kZip,
                                              {{"movie/a.mkv", "frames"}, {"b.nfo", "info"}}));
  }
  test::TempDir temp_;
  RunEnvironment environment_{temp_.Path("q.log"), "unar", false, {}};
};

TEST_F(MirrowenProgramTest, ExitsWithTheStatusOfTheFailure) {
  temp_.WriteFile("in/bad.tar", test::BuildArchive(test::FixtureFormat::kPaxTar,
                                                   {{"../escape", "x"}, {"ok", "y"}}));
  // A byte split whose second piece is a link: followed, it would complete the set.
  const std::string tar =
      test::BuildArchive(test::FixtureFormat::kPaxTar, {{"whole", test::RandomBytes(20'000, 5)}});
  temp_.WriteFile("in/split.001", tar.substr(0, 10'000));
  fs::create_symlink(temp_.WriteFile("elsewhere/piece", tar.substr(10'000)),
                     temp_.Path("in/split.002"));
  const std::pair<const char*, int> cases[] = {{"in/", 3}, {"in/split.001", 3}, {"in/bad.tar", 1}};
  for (const auto& [first, status] : cases) {
    SCOPED_TRACE(first);
    EXPECT_EQ(Extract(temp_.Path(first), temp_.Path("out/")), status);
    EXPECT_FALSE(test::Exists(temp_.Path("escape")));
    // Nothing is made of a set that cannot be read, not even the destination.
    EXPECT_EQ(test::Exists(temp_.Path("out")), status == 1);
    fs::remove_all(temp_.Path("out"));
  }
}

TEST_F(MirrowenProgramTest, AKilledRunLeavesNoPartialFileAndTheNextRunCleansUp) {
  std::vector<test::RarEntry> entries;
  for (unsigned i = 0; i < 300; ++i) {
    entries.push_back({std::string(150, 'n') + std::to_string(i), test::RandomBytes(64 * 1024, i)});
  }
  const std::vector<std::string> volumes =
      test::WriteRarSet(temp_.MakeDir("in") + "/big", entries, 4 << 20);
  const std::string out = temp_.Path("out");
  // A line per entry, written before the entry: the small pipe, unread after the first bytes,
  // stops the run a few dozen entries in, long before the last.
  test::ChildProcess child([&] {
    setenv("QUARRYSTREAM_LOG", temp_.Path("q.log").c_str(), 1);
    fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 4096);
    execl(QS_MIRROWEN, QS_MIRROWEN, ("/ADDRAR:" + volumes.front()).c_str(),
          ("/DESTINATION:" + out).c_str(), nullptr);
    return 127;
  });
  ASSERT_EQ(child.Read(1).size(), 1u);
  child.Kill();

  const std::set<std::string> left = TopLevel(out);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_TRUE(left.begin()->starts_with(".mirrowen-staging-")) << *left.begin();

  EXPECT_EQ(Extract(volumes.front(), out), 0);
  EXPECT_EQ(TopLevel(out).size(), entries.size());
  for (const test::RarEntry& entry : entries) {
    EXPECT_EQ(test::ReadFile(out + "/" + entry.name), entry.content) << entry.name;
  }
}

TEST_F(MirrowenProgramTest, NeverReplacesAFileAndFinishesAMoveAKilledRunBegan) {
  temp_.WriteFile("out/b.nfo", "old");
  temp_.WriteFile("out/movie/mine.txt", "mine");  // a folder the set merges into
  // What a killed run had begun to move into place is finished first.
  temp_.WriteFile("out/.mirrowen-staging-dead/tree/left/over.txt", "left");
  temp_.WriteFile("out/.mirrowen-staging-dead/moving", "");
  const std::string zip = MakeZip();
  EXPECT_EQ(Extract(zip, temp_.Path("out")), 0);
  EXPECT_EQ(test::ReadFile(temp_.Path("out/b.nfo")), "old");
  EXPECT_EQ(test::ReadFile(temp_.Path("out/b (2).nfo")), "info");
  EXPECT_EQ(test::ReadFile(temp_.Path("out/left/over.txt")), "left");
  EXPECT_EQ(test::ReadFile(temp_.Path("out/movie/mine.txt")), "mine");
  EXPECT_EQ(test::ReadFile(temp_.Path("out/movie/a.mkv")), "frames");
  EXPECT_EQ(TopLevel(temp_.Path("out")),
            (std::set<std::string>{"b.nfo", "b (2).nfo", "movie", "left"}));
}

}  // namespace
}  // namespace qs
