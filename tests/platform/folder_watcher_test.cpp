// The inotify watcher on real folders: the kernel queues an event before the call that caused it
// returns, so every change is readable at once and no test waits.
#include "platform/folder_watcher.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace qs {
namespace {

using Strings = std::vector<std::string>;

class FolderWatcherTest : public ::testing::Test {
 protected:
  FolderWatcherTest() {
    temp_.MakeDir("in/sub");
    temp_.MakeDir("in/out");  // the row's destination, inside its source
    temp_.MakeDir("elsewhere");
    watcher_.SetTrees({{0, temp_.Path("in")}}, {temp_.Path("in/out")});
  }
  // Each change as "row:folder relative to in/:subtree".
  Strings Changes() {
    std::vector<FolderChange> changes;
    watcher_.ReadChanges(changes);
    Strings words;
    for (const FolderChange& change : changes) {
      words.push_back(std::to_string(change.row) + ":" +
                      change.folder.substr(temp_.Path("in").size()) + ":" +
                      (change.subtree ? "1" : "0"));
    }
    return words;
  }
  std::size_t Watched() {
    Changes();
    return watcher_.WatchedFolders();
  }

  test::TempDir temp_;
  FolderWatcher watcher_{{"#####Quarrystream#####", "#####Quarrystream.SFV.is.OK#####"},
                         {".oldsfv"}};
};

TEST_F(FolderWatcherTest, ClosedAndMovedInFilesCountButNotTheProgramsOwnNorTheDestinations) {
  struct Case {
    const char* what;
    std::function<void(const test::TempDir&)> act;
    Strings expected;
  };
  const auto rename = [](const test::TempDir& t, const char* from, const char* to) {
    ASSERT_EQ(std::rename(t.Path(from).c_str(), t.Path(to).c_str()), 0);
  };
  const std::vector<Case> cases = {
      {"volume closed", [](auto& t) { t.WriteFile("in/a.rar", "x"); }, {"0::0"}},
      {"volume in a subfolder", [](auto& t) { t.WriteFile("in/sub/a.rar", "x"); }, {"0:/sub:0"}},
      {"moved in",
       [&](auto& t) {
         t.WriteFile("elsewhere/b", "x");
         rename(t, "elsewhere/b", "in/b");
       },
       {"0::0"}},
      {"state file", [](auto& t) { t.WriteFile("in/#####Quarrystream#####", "x"); }, {}},
      {"marker", [](auto& t) { t.WriteFile("in/sub/#####Quarrystream.SFV.is.OK#####", ""); }, {}},
      {"temporary file", [](auto& t) { t.WriteFile("in/.x.sfv.12-0.qstmp", "x"); }, {}},
      {"renamed SFV file", [&](auto& t) { rename(t, "in/a.rar", "in/a.oldsfv"); }, {}},
      {"destination", [](auto& t) { t.WriteFile("in/out/film.mkv", "x"); }, {}},
      {"new folder", [](auto& t) { t.MakeDir("in/new"); }, {"0:/new:1"}},
  };
  for (const Case& c : cases) {
    c.act(temp_);
    EXPECT_EQ(Changes(), c.expected) << c.what;
  }
}

TEST_F(FolderWatcherTest, NewFoldersAreWatchedWithWhatTheyHoldAndGoneOnesDropped) {
  const std::size_t before = Watched();
  EXPECT_EQ(before, 2u);  // in, in/sub; never in/out
  // Made before the watch of new/ could be added: found by listing new/ once.
  temp_.MakeDir("in/new/deep");
  EXPECT_EQ(Changes(), Strings{"0:/new:1"});
  temp_.WriteFile("in/new/deep/a.rar", "x");
  EXPECT_EQ(Changes(), Strings{"0:/new/deep:0"});
  EXPECT_EQ(Watched(), before + 2);

  std::filesystem::rename(temp_.Path("in/new"), temp_.Path("elsewhere/new"));
  EXPECT_EQ(Watched(), before);
  temp_.WriteFile("elsewhere/new/deep/b.rar", "x");
  EXPECT_EQ(Changes(), Strings{});
  std::filesystem::remove(temp_.Path("in/sub"));
  EXPECT_EQ(Watched(), before - 1);

  watcher_.SetTrees({}, {});
  EXPECT_EQ(Watched(), 0u);
}

}  // namespace
}  // namespace qs
