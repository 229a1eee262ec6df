// Whole passes over real folders: the messages posted, the state files left, the early ends.
#include "scan/scan_pass.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/process_setup.h"
#include "scan/companion_completion.h"
#include "tests/scan/scan_pass_fixture.h"

namespace qs {
namespace {

using test::kFile;
using test::kFinished;
using test::kRow;
using test::kSet;
using test::Posted;
using test::ReadFile;

class ScanPassTest : public test::ScanPassFixture {};

TEST_F(ScanPassTest, PostsTheDesignedSequenceForTwoRowsOneExcluded) {
  // Row 0 is excluded: its set must not even be opened.
  WriteSet("excluded", "x.sfv", {{"x.rar", "x"}});
  AddRow(temp.Path("excluded"), "/out", 0);
  // Row 1: three folders (in, in/A, in/B); A's set lacks a volume, B's is complete.
  WriteSet("in/A", "a.sfv", {{"a.rar", "aaaa"}, {"a.r00", "bbbb", false}});
  WriteSet("in/B", "b.sfv", {{"b.rar", "cccc"}});
  AddRow(temp.Path("in"), "/out");
  std::vector<std::string> lines;
  CompanionCompletion companion(settings, fs, sink, "/opt/qs/", [&](std::string_view line) {
    lines.emplace_back(line);
    return kErrorSuccess;
  });
  completion = &companion;

  EXPECT_EQ(RunPass(), 1u);

  const std::vector<Posted> expected = {
      // Search phase over three folders: 100 - 2*100/3, 100 - 1*100/3, 100.
      {kRow, 1, 34},
      {kRow, 1, 67},
      {kRow, 1, 100},
      // Set 0 of 2 shows 1, not 0; two state lines, then the end of the bar.
      {kRow, 1, 1},
      {kFile, 0, 0},
      {kFile, 0, 50},
      {kFile, 0, 100},
      // Set 1 of 2: 50 percent; one line; complete.
      {kRow, 1, 50},
      {kFile, 0, 0},
      {kFile, 0, 100},
      {kSet, 0, 0},
      {kRow, 1, 100},
      {kFinished, 0, 0},
  };
  EXPECT_EQ(sink.posted(), expected);

  ASSERT_EQ(sink.texts().size(), 1u);
  EXPECT_EQ(sink.texts()[0]->sfv_text, temp.Path("in/B/b.sfv"));
  EXPECT_EQ(sink.texts()[0]->volume_text, temp.Path("in/B/b.rar"));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "/opt/qs/mirrowen /ADDRAR:\"" + temp.Path("in/B/b.rar") +
                          "\" /DESTINATION:\"/out//B/\" /TOTRAY");

  EXPECT_EQ(ReadFile(StateFile("in/A")), "a.rar 1\r\na.r00 0\r\n");
  EXPECT_FALSE(test::Exists(StateFile("in/B")));
  EXPECT_TRUE(test::Exists(Marker("in/B")));
  EXPECT_EQ(fs.CountRead(temp.Path("excluded/x.sfv")), 0u);
  EXPECT_FALSE(test::Exists(StateFile("excluded")));
}

TEST_F(ScanPassTest, WorkedExampleCompletesInThePassTheLastVolumeArrives) {
  WriteSet("in/D", "x.sfv", {{"x.rar", "first volume"}, {"x.r00", "second volume", false}});
  AddRow(temp.Path("in"), temp.Path("out"));
  std::vector<std::string> lines;
  CompanionCompletion companion(settings, fs, sink, "/opt/qs/", [&](std::string_view line) {
    lines.emplace_back(line);
    return kErrorSuccess;
  });
  completion = &companion;

  ASSERT_EQ(RunPass(), 1u);
  EXPECT_EQ(ReadFile(StateFile("in/D")), "x.rar 1\r\nx.r00 0\r\n");
  EXPECT_TRUE(lines.empty());
  EXPECT_FALSE(WasPosted(kSet));

  temp.WriteFile("in/D/x.r00", "second volume");
  fs.verified.clear();
  ASSERT_EQ(RunPass(), 1u);
  EXPECT_EQ(fs.CountVerified(temp.Path("in/D/x.rar")), 0u);  // verified once, never read again
  EXPECT_EQ(fs.CountVerified(temp.Path("in/D/x.r00")), 1u);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "/opt/qs/mirrowen /ADDRAR:\"" + temp.Path("in/D/x.rar") +
                          "\" /DESTINATION:\"" + temp.Path("out") + "//D/\" /TOTRAY");
  EXPECT_FALSE(test::Exists(StateFile("in/D")));
  EXPECT_TRUE(test::Exists(Marker("in/D")));

  fs.read.clear();
  fs.verified.clear();
  ASSERT_EQ(RunPass(), 1u);
  EXPECT_EQ(fs.CountRead(temp.Path("in/D/x.sfv")), 0u);
  EXPECT_TRUE(fs.verified.empty());
  EXPECT_EQ(lines.size(), 1u);
}

TEST_F(ScanPassTest, AStopBetweenLinesLeavesTheStateFileAsItWas) {
  WriteSet("in/D", "x.sfv", {{"x.rar", "one"}, {"x.r00", "two"}});
  const std::string before = "x.rar 1\r\nx.r00 0\r\n";
  temp.WriteFile(std::string("in/D/") + kStateFileName, before);
  AddRow(temp.Path("in"));
  sink.on_post = [&](const Posted& posted) {
    if (posted == Posted{kFile, 0, 50}) {
      stop.Set();
    }
  };

  EXPECT_EQ(RunPass(), 0u);
  EXPECT_EQ(sink.posted().back(), (Posted{kFile, 0, 50}));
  EXPECT_FALSE(WasPosted(kFinished));
  EXPECT_EQ(ReadFile(StateFile("in/D")), before);
  EXPECT_TRUE(fs.verified.empty());
  EXPECT_TRUE(recorder.performed.empty());
}

TEST_F(ScanPassTest, AStopInsideAChecksumNeverRecordsTheVolume) {
  // x.rar verifies in memory before the stop; none of it may reach the disk.
  WriteSet("in/D", "x.sfv", {{"x.rar", "one"}, {"x.r00", std::string(400 * 1024, 'v')}});
  const std::string before = "x.rar 0\r\nx.r00 0\r\n";
  temp.WriteFile(std::string("in/D/") + kStateFileName, before);
  AddRow(temp.Path("in"));
  fs.on_verify = [&](const std::string& path) {
    if (path == temp.Path("in/D/x.r00")) {
      stop.Set();
    }
  };

  EXPECT_EQ(RunPass(), 0u);
  EXPECT_EQ(sink.posted().back(), (Posted{kFile, 0, 50}));
  EXPECT_EQ(ReadFile(StateFile("in/D")), before);
  EXPECT_TRUE(recorder.performed.empty());
  EXPECT_EQ(fs.written.size(), 0u);
}

TEST_F(ScanPassTest, AStopDuringTheWalkPostsNothing) {
  WriteSet("in/D", "x.sfv", {{"x.rar", "one"}});
  AddRow(temp.Path("in"));
  stop.Set();
  ScanPassContext context{&list, &sink, &settings, &fs, completion, &stop, &done, nullptr};
  EXPECT_EQ(ScanThreadProc(context), 0u);
  EXPECT_TRUE(done.IsSet());
  EXPECT_TRUE(sink.posted().empty());
}

TEST_F(ScanPassTest, AnSfvFileDeletedAfterItWasFoundEndsThePassEarly) {
  WriteSet("in/A", "a.sfv", {{"a.rar", "one"}});
  WriteSet("in/B", "b.sfv", {{"b.rar", "two"}});
  AddRow(temp.Path("in"));
  sink.on_post = [&](const Posted& posted) {
    if (posted == Posted{kRow, 0, 1}) {
      std::remove(temp.Path("in/A/a.sfv").c_str());
    }
  };

  EXPECT_EQ(RunPass(), 0u);
  EXPECT_EQ(sink.posted().back(), (Posted{kRow, 0, 1}));
  EXPECT_FALSE(WasPosted(kFinished));
  EXPECT_FALSE(test::Exists(StateFile("in/B")));  // never reached
  EXPECT_TRUE(recorder.performed.empty());

  sink.on_post = nullptr;
  EXPECT_EQ(RunPass(), 1u);
  EXPECT_TRUE(WasPosted(kFinished));
  ASSERT_EQ(recorder.performed.size(), 1u);
  EXPECT_EQ(recorder.performed[0].set.sfv_path, temp.Path("in/B/b.sfv"));
}

TEST_F(ScanPassTest, AStateFileThatCannotBeCreatedEndsThePassEarly) {
  WriteSet("in/D", "x.sfv", {{"x.rar", "one"}});
  AddRow(temp.Path("in"));
  fs.fail_writes = true;
  EXPECT_EQ(RunPass(), 0u);
  EXPECT_FALSE(WasPosted(kFinished));
  EXPECT_FALSE(WasPosted(kFile));  // ended before the first line
  EXPECT_TRUE(recorder.performed.empty());
}

TEST_F(ScanPassTest, AFreshStateFileThatCannotBeReopenedEndsThePassEarly) {
  WriteSet("in/D", "x.sfv", {{"x.rar", "one"}});
  AddRow(temp.Path("in"));
  fs.fail_read = [&](const std::string& path) {
    return path == StateFile("in/D") ? kErrorAccessDenied : kErrorSuccess;
  };
  EXPECT_EQ(RunPass(), 0u);
  EXPECT_EQ(fs.written.size(), 1u);
  EXPECT_FALSE(WasPosted(kFile));
  EXPECT_FALSE(WasPosted(kFinished));
}

TEST_F(ScanPassTest, ARewriteThatFailsEndsThePassAfterTheCompletion) {
  WriteSet("in/D", "x.sfv", {{"x.rar", "one"}});
  temp.WriteFile(std::string("in/D/") + kStateFileName, "x.rar 0\r\n");
  AddRow(temp.Path("in"));
  fs.fail_writes = true;
  EXPECT_EQ(RunPass(), 0u);
  EXPECT_EQ(recorder.performed.size(), 1u);
  EXPECT_EQ(sink.posted().back(), (Posted{kFile, 0, 100}));
  EXPECT_FALSE(WasPosted(kFinished));
}

// Holds `path` open for writing in a child process until Release().
class WriterChild {
 public:
  explicit WriterChild(const std::string& path) {
    int ready[2];
    int release[2];
    if (pipe2(ready, O_CLOEXEC) != 0 || pipe2(release, O_CLOEXEC) != 0) {
      return;
    }
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      close(release[1]);
      const int fd = open(path.c_str(), O_WRONLY);
      char answer = fd >= 0 ? 'y' : 'n';
      (void)!write(ready[1], &answer, 1);
      (void)!read(release[0], &answer, 1);  // returns when the parent closes its end
      _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    char answer = 'n';
    opened_ = read(ready[0], &answer, 1) == 1 && answer == 'y';
    close(ready[0]);
    release_fd_ = release[1];
  }
  ~WriterChild() { Release(); }
  bool opened() const { return opened_; }
  void Release() {
    if (release_fd_ >= 0) {
      close(release_fd_);
      release_fd_ = -1;
      waitpid(pid_, nullptr, 0);
    }
  }

 private:
  pid_t pid_ = -1;
  int release_fd_ = -1;
  bool opened_ = false;
};

TEST_F(ScanPassTest, AVolumeStillOpenForWritingStaysUnverifiedUntilClosed) {
  IgnoreLeaseSignals();
  WriteSet("in/D", "x.sfv", {{"x.rar", "complete already"}});
  AddRow(temp.Path("in"));
  WriterChild writer(temp.Path("in/D/x.rar"));
  ASSERT_TRUE(writer.opened());

  ASSERT_EQ(RunPass(), 1u);
  EXPECT_EQ(ReadFile(StateFile("in/D")), "x.rar 0\r\n");
  EXPECT_TRUE(recorder.performed.empty());

  writer.Release();
  ASSERT_EQ(RunPass(), 1u);
  EXPECT_EQ(recorder.performed.size(), 1u);
}

}  // namespace
}  // namespace qs
