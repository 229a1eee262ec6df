// The walk of a pass: which folders are visited, which files count as SFV files, what the
// verified marker keeps away, and how the pass follows a watch list that changes under it.
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/scan/scan_pass_fixture.h"

namespace qs {
namespace {

using test::kFile;
using test::kFinished;
using test::kRow;
using test::Posted;

class ScanTreeTest : public test::ScanPassFixture {};

TEST_F(ScanTreeTest, AMissingSourcePostsOneHundredTwiceAndNothingElse) {
  AddRow(temp.Path("nowhere"));
  EXPECT_EQ(RunPass(), 1u);
  EXPECT_EQ(sink.posted(),
            (std::vector<Posted>{{kRow, 0, 100}, {kRow, 0, 100}, {kFinished, 0, 0}}));
}

TEST_F(ScanTreeTest, AnEmptyListEndsNormally) {
  EXPECT_EQ(RunPass(), 1u);
  EXPECT_EQ(sink.posted(), (std::vector<Posted>{{kFinished, 0, 0}}));
}

TEST_F(ScanTreeTest, OnlyIncludeOneIsScanned) {
  for (const std::int32_t include : {0, 2, -1}) {
    AddRow(temp.Path("nowhere"), "/out", include);
  }
  AddRow(temp.Path("nowhere"), "/out", 1);
  EXPECT_EQ(RunPass(), 1u);
  EXPECT_EQ(sink.posted(),
            (std::vector<Posted>{{kRow, 3, 100}, {kRow, 3, 100}, {kFinished, 0, 0}}));
}

TEST_F(ScanTreeTest, LinkedFoldersAreNeverEntered) {
  WriteSet("in/sub", "x.sfv", {{"x.rar", "one"}});
  WriteSet("elsewhere", "o.sfv", {{"o.rar", "two"}});
  ASSERT_EQ(symlink(temp.Path("in").c_str(), temp.Path("in/sub/loop").c_str()), 0);
  ASSERT_EQ(symlink(temp.Path("elsewhere").c_str(), temp.Path("in/away").c_str()), 0);
  AddRow(temp.Path("in"));

  EXPECT_EQ(RunPass(), 1u);
  ASSERT_EQ(recorder.performed.size(), 1u);
  EXPECT_EQ(recorder.performed[0].set.sfv_path, temp.Path("in/sub/x.sfv"));
  EXPECT_FALSE(test::Exists(temp.Path(std::string("elsewhere/") + kStateFileName)));
  // Two folders walked: in and in/sub.
  EXPECT_EQ(sink.posted()[0], (Posted{kRow, 0, 50}));
  EXPECT_EQ(sink.posted()[1], (Posted{kRow, 0, 100}));
}

TEST_F(ScanTreeTest, ALinkedSourceFolderIsScanned) {
  WriteSet("real", "x.sfv", {{"x.rar", "one"}});
  ASSERT_EQ(symlink(temp.Path("real").c_str(), temp.Path("link").c_str()), 0);
  AddRow(temp.Path("link"));
  EXPECT_EQ(RunPass(), 1u);
  ASSERT_EQ(recorder.performed.size(), 1u);
  EXPECT_EQ(recorder.performed[0].set.set_directory, temp.Path("link/"));
}

TEST_F(ScanTreeTest, WalksBreadthFirstInListingOrder) {
  for (const char* dir : {"in/b/deep", "in/a", "in/c"}) {
    WriteSet(dir, "s.sfv", {{"v.rar", dir}});
  }
  AddRow(temp.Path("in") + "/");  // stored with its separator: paths still join with one
  EXPECT_EQ(RunPass(), 1u);
  std::vector<std::string> order;
  for (const auto& done_set : recorder.performed) {
    order.push_back(done_set.set.sfv_path);
  }
  // in, in/a, in/b, in/c, then in/b/deep one level further down.
  EXPECT_EQ(order, (std::vector<std::string>{temp.Path("in/a/s.sfv"), temp.Path("in/c/s.sfv"),
                                             temp.Path("in/b/deep/s.sfv")}));
}

struct NameCase {
  const char* name;
  bool is_sfv;
};

class SfvNameTest : public test::ScanPassFixture, public ::testing::WithParamInterface<NameCase> {};

TEST_P(SfvNameTest, TheExtensionDecidesCaseBlind) {
  WriteSet("in/D", GetParam().name, {{"v.rar", "one"}});
  AddRow(temp.Path("in"));
  EXPECT_EQ(RunPass(), 1u);
  EXPECT_EQ(recorder.performed.size(), GetParam().is_sfv ? 1u : 0u);
  EXPECT_EQ(fs.CountRead(temp.Path(std::string("in/D/") + GetParam().name)),
            GetParam().is_sfv ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Names, SfvNameTest,
                         ::testing::Values(NameCase{"x.sfv", true}, NameCase{"x.Sfv", true},
                                           NameCase{"x.SFV", true}, NameCase{".sfv", true},
                                           NameCase{"x.y.sfv", true}, NameCase{"x.sfv.bak", false},
                                           NameCase{"xsfv", false}, NameCase{"x.sfvx", false},
                                           NameCase{"x.sf", false}));

struct MarkerCase {
  std::int32_t create_no_check_file;
  bool sfv_opened;
};

class VerifiedMarkerTest : public test::ScanPassFixture,
                           public ::testing::WithParamInterface<MarkerCase> {};

TEST_P(VerifiedMarkerTest, KeepsTheSfvUnopenedOnlyWhileTheSettingIsOne) {
  WriteSet("in/D", "new.sfv", {{"v.rar", "one"}});
  temp.WriteFile(std::string("in/D/") + kVerifiedMarkerName, "");
  AddRow(temp.Path("in"));
  WriteInt(settings, Setting::CreateNoCheckFile, GetParam().create_no_check_file);
  EXPECT_EQ(RunPass(), 1u);
  EXPECT_EQ(fs.CountRead(temp.Path("in/D/new.sfv")), GetParam().sfv_opened ? 1u : 0u);
  EXPECT_EQ(fs.CountRead(temp.Path(std::string("in/D/") + kVerifiedMarkerName)),
            GetParam().create_no_check_file == 1 ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Settings, VerifiedMarkerTest,
                         ::testing::Values(MarkerCase{1, false}, MarkerCase{0, true},
                                           MarkerCase{2, true}));

TEST_F(ScanTreeTest, TheMarkerOnlyGuardsItsOwnFolder) {
  WriteSet("in/D", "x.sfv", {{"x.rar", "one"}});
  WriteSet("in/D/sub", "y.sfv", {{"y.rar", "two"}});
  temp.WriteFile(std::string("in/D/") + kVerifiedMarkerName, "");
  AddRow(temp.Path("in"));
  EXPECT_EQ(RunPass(), 1u);
  ASSERT_EQ(recorder.performed.size(), 1u);
  EXPECT_EQ(recorder.performed[0].set.sfv_path, temp.Path("in/D/sub/y.sfv"));
}

TEST_F(ScanTreeTest, ARowAddedDuringThePassIsScanned) {
  AddRow(temp.Path("first"));
  int row_ends = 0;
  sink.on_post = [&](const Posted& posted) {
    if (posted == Posted{kRow, 0, 100} && ++row_ends == 2) {
      AddRow(temp.Path("second"));
    }
  };
  EXPECT_EQ(RunPass(), 1u);
  EXPECT_EQ(
      sink.posted(),
      (std::vector<Posted>{
          {kRow, 0, 100}, {kRow, 0, 100}, {kRow, 1, 100}, {kRow, 1, 100}, {kFinished, 0, 0}}));
}

TEST_F(ScanTreeTest, ARowRemovedDuringThePassIsNotScanned) {
  AddRow(temp.Path("first"));
  AddRow(temp.Path("second"));
  int row_ends = 0;
  sink.on_post = [&](const Posted& posted) {
    if (posted == Posted{kRow, 0, 100} && ++row_ends == 2) {
      list.RemoveAt(1);
    }
  };
  EXPECT_EQ(RunPass(), 1u);
  EXPECT_EQ(sink.posted(),
            (std::vector<Posted>{{kRow, 0, 100}, {kRow, 0, 100}, {kFinished, 0, 0}}));
}

TEST_F(ScanTreeTest, TheCompletionSeesTheDestinationAsItIsAtThatMoment) {
  WriteSet("in/D", "x.sfv", {{"x.rar", "one"}});
  AddRow(temp.Path("in"), "/old");
  sink.on_post = [&](const Posted& posted) {
    if (posted == Posted{kFile, 0, 0}) {
      list.Replace({WatchEntry{"/changed-source", "/new", 1}});
    }
  };
  EXPECT_EQ(RunPass(), 1u);
  ASSERT_EQ(recorder.performed.size(), 1u);
  EXPECT_EQ(recorder.performed[0].entry.destination, "/new");
  EXPECT_EQ(recorder.performed[0].entry.source, temp.Path("in"));  // read at the row's start
}

}  // namespace
}  // namespace qs
