// The inotify watcher on real folders: the kernel queues an event before the call that caused it
// returns, so every change is readable at once and no test waits.
#include "platform/folder_watcher.h"

#include <gtest/gtest.h>

#include <filesystem>
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

  test::TempDir temp_;
  FolderWatcher watcher_{{"#####Quarrystream#####", "#####Quarrystream.SFV.is.OK#####"},
                         {".oldsfv"}};
};

TEST_F(FolderWatcherTest, ClosedAndMovedInFilesCountButNotTheProgramsOwnNorTheDestinations) {
  const std::pair<std::string, Strings> written[] = {
      {"in/a.rar", {"0::0"}},
      {"in/sub/a.rar", {"0:/sub:0"}},
      {"in/#####Quarrystream#####", {}},
      {"in/sub/#####Quarrystream.SFV.is.OK#####", {}},
      {"in/.x.sfv.12-0.qstmp", {}},
      {"in/out/film.mkv", {}}};
  for (const auto& [name, expected] : written) {
    temp_.WriteFile(name, "x");
    EXPECT_EQ(Changes(), expected) << name;
  }
  std::filesystem::rename(temp_.WriteFile("elsewhere/b", "x"), temp_.Path("in/b"));
  EXPECT_EQ(Changes(), Strings{"0::0"});
  std::filesystem::rename(temp_.Path("in/a.rar"), temp_.Path("in/a.oldsfv"));
  EXPECT_EQ(Changes(), Strings{});
}

TEST_F(FolderWatcherTest, NewFoldersAreWatchedWithWhatTheyHoldAndGoneOnesDropped) {
  EXPECT_EQ(watcher_.WatchedFolders(), 2u);  // in, in/sub; never in/out
  // Made before the watch of new/ could be added: found by listing new/ once.
  temp_.MakeDir("in/new/deep");
  EXPECT_EQ(Changes(), Strings{"0:/new:1"});
  temp_.WriteFile("in/new/deep/a.rar", "x");
  EXPECT_EQ(Changes(), Strings{"0:/new/deep:0"});
  EXPECT_EQ(watcher_.WatchedFolders(), 4u);

  std::filesystem::rename(temp_.Path("in/new"), temp_.Path("elsewhere/new"));
  temp_.WriteFile("elsewhere/new/deep/b.rar", "x");
  EXPECT_EQ(Changes(), Strings{});
  EXPECT_EQ(watcher_.WatchedFolders(), 2u);
  std::filesystem::remove(temp_.Path("in/sub"));
  Changes();
  EXPECT_EQ(watcher_.WatchedFolders(), 1u);
  watcher_.SetTrees({}, {});
  EXPECT_EQ(watcher_.WatchedFolders(), 0u);
}

}  // namespace
}  // namespace qs
