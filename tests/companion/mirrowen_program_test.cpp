// The program as Quarrystream starts it: arguments already split, stdin on /dev/null, nobody
// waiting; what it reports is its exit status, its two output streams and the log.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "companion/companion_run.h"
#include "tests/companion/archive_builder.h"
#include "tests/companion/rar_writer.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace qs {
namespace {

namespace fs = std::filesystem;
using test::RarFormat;
using test::RarNaming;

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

// `out_fd` >= 0 takes the place of the stdout file.
pid_t Start(const test::TempDir& temp, const std::vector<std::string>& args, int out_fd = -1) {
  std::vector<char*> argv{const_cast<char*>(QS_MIRROWEN)};
  for (const std::string& arg : args) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (out_fd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, out_fd, STDOUT_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, temp.Path("stdout.txt").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, temp.Path("stderr.txt").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

RunResult RunMirrowen(const test::TempDir& temp, const std::vector<std::string>& args) {
  RunResult result;
  int status = 0;
  if (waitpid(Start(temp, args), &status, 0) > 0 && WIFEXITED(status)) {
    result.status = WEXITSTATUS(status);
  }
  result.out = test::ReadFile(temp.Path("stdout.txt"));
  result.err = test::ReadFile(temp.Path("stderr.txt"));
  return result;
}

std::set<std::string> TopLevel(const std::string& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

std::vector<test::RarEntry> RarEntries() {
  return {{"dir", "", true},
          {"dir/a file.bin", test::Noise(250'000, 1)},
          {"dir/ünï ✓ 映画.txt", "hello\n"},
          {"empty", ""},
          {"b.bin", test::Noise(180'000, 2)}};
}

class MirrowenProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("QUARRYSTREAM_LOG", temp_.Path("q.log").c_str(), 1);
    // No desktop: a notification finds no bus and is skipped.
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + temp_.Path("no-bus")).c_str(), 1);
  }
  std::string Log() const { return test::ReadFile(temp_.Path("q.log")); }
  RunResult Extract(const std::string& first) {
    return RunMirrowen(temp_, {"/ADDRAR:" + first, "/DESTINATION:" + temp_.Path("out"), "/TOTRAY"});
  }
  std::string MakeZip() {
    return temp_.WriteFile(
        "in/my set/x.zip",
        test::BuildArchive(test::FixtureFormat::kZip,
                           {test::File("movie/a.mkv", "frames"), test::File("b.nfo", "info")}));
  }
  test::TempDir temp_;
};

TEST_F(MirrowenProgramTest, QuietRunPrintsNothingAndAVerboseOneListsEachEntry) {
  const std::string first = MakeZip();
  temp_.MakeDir("out");
  fs::create_directory_symlink(temp_.MakeDir("real"), temp_.Path("out/my set"));  // users do
  RunResult run = RunMirrowen(
      temp_, {"/ADDRAR:" + first, "/DESTINATION:" + temp_.path() + "//out/my set", "/TOTRAY"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out + run.err, "");
  EXPECT_EQ(test::ReadFile(temp_.Path("real/movie/a.mkv")), "frames");
  EXPECT_NE(Log().find("result: extracted 2 entries"), std::string::npos) << Log();

  run = RunMirrowen(temp_, {"/ADDRAR:" + first, "/DESTINATION:" + temp_.Path("verbose/")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("  movie/a.mkv\n"), std::string::npos) << run.out;
  EXPECT_EQ(test::ReadFile(temp_.Path("verbose/b.nfo")), "info");
}

struct StatusCase {
  std::vector<std::string> args;  // "@" stands for the sandbox folder
  int status;
  std::string said;  // a part of stdout with status 0, else of stderr
};

TEST_F(MirrowenProgramTest, ExitsWithTheStatusOfTheFailure) {
  temp_.WriteFile("in/bad.tar",
                  test::BuildArchive(test::FixtureFormat::kPaxTar,
                                     {test::File("../escape", "x"), test::File("ok", "y")}));
  // Only extraction finds it cut short: a compressed tar's sizes are not read ahead.
  temp_.WriteFile("in/cut.tar.gz", test::BuildArchive(test::FixtureFormat::kTarGzip,
                                                      {test::File("a", test::Noise(3'000'000, 6))})
                                       .substr(0, 2'000'000));
  temp_.WriteFile("in/locked.zip", test::BuildArchive(test::FixtureFormat::kEncryptedZip,
                                                      {test::File("a.mkv", "frames")}));
  // A byte split whose second piece is a link: followed, it would complete the set.
  const std::string tar = test::BuildArchive(test::FixtureFormat::kPaxTar,
                                             {test::File("whole", test::Noise(20'000, 5))});
  temp_.WriteFile("in/split.001", tar.substr(0, 10'000));
  fs::create_symlink(temp_.WriteFile("elsewhere/piece", tar.substr(10'000)),
                     temp_.Path("in/split.002"));
  const StatusCase cases[] = {
      {{"--help"}, 0, "3  the set could not be read"},
      {{"/ADDRAR:@/in/bad.tar"}, 2, "missing /DESTINATION:"},
      {{"/ADDRAR:@/in/", "/DESTINATION:@/out/"}, 3, "no first"},
      {{"/ADDRAR:@/in/x.rar", "/DESTINATION:@/out/"}, 3, "x.rar"},
      {{"/ADDRAR:@/in/cut.tar.gz", "/DESTINATION:@/out/"}, 3, "cut.tar.gz"},
      {{"/ADDRAR:@/in/locked.zip", "/DESTINATION:@/out/"}, 3, "no password"},
      {{"/ADDRAR:@/in/split.001", "/DESTINATION:@/out/"}, 3, "split.001"},
      {{"/ADDRAR:@/in/bad.tar", "/DESTINATION:@/out/", "/TOTRAY"}, 1, "../escape"}};
  for (StatusCase c : cases) {
    SCOPED_TRACE(c.args.front());
    for (std::string& arg : c.args) {
      if (const std::size_t at = arg.find('@'); at != std::string::npos) {
        arg.replace(at, 1, temp_.path());
      }
    }
    const RunResult run = RunMirrowen(temp_, c.args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_NE((c.status == 0 ? run.out : run.err).find(c.said), std::string::npos) << run.err;
    EXPECT_FALSE(test::Exists(temp_.Path("escape")));
    // Nothing is made of a set that cannot be read, not even the destination.
    EXPECT_EQ(test::Exists(temp_.Path("out")), c.status == 1);
    fs::remove_all(temp_.Path("out"));
  }
}

enum class Damage { kNone, kCutShort, kFlippedByte };

struct RarCase {
  RarFormat format;
  RarNaming naming;
  bool solid;
  Damage damage;
  std::string logged;  // a part of the log
};

TEST_F(MirrowenProgramTest, RarSetsGiveEveryByteOrNothing) {
  const RarFormat k4 = RarFormat::kRar4;
  const RarFormat k5 = RarFormat::kRar5;
  const RarNaming kParts = RarNaming::kPartNumbered;
  const RarNaming kOld = RarNaming::kOldStyle;
  const RarCase cases[] = {
      {k4, kParts, false, Damage::kNone, "engine: libarchive (RAR)"},
      {k5, kOld, false, Damage::kNone, "engine: libarchive (RAR5)"},
      {k5, kParts, true, Damage::kNone, "engine: unar"},  // libarchive cannot read it
      {k4, kOld, false, Damage::kCutShort, "my set.r01: dir/a file.bin ends early"},
      {k5, kParts, false, Damage::kCutShort, "my set.part03.rar: dir/a file.bin ends early"},
      {k4, kParts, false, Damage::kFlippedByte, "my set.part03.rar: dir/a file.bin: CRC error"},
      {k5, kOld, false, Damage::kFlippedByte, "my set.r01: dir/a file.bin: CRC error"}};
  const std::vector<test::RarEntry> entries = RarEntries();
  for (const RarCase& c : cases) {
    SCOPED_TRACE(c.logged);
    for (const char* left : {"in", "out", "q.log"}) {
      fs::remove_all(temp_.Path(left));
    }
    const std::vector<std::string> volumes = test::WriteRarSet(
        temp_.MakeDir("in") + "/my set", c.format, c.naming, entries, 100'000, c.solid);
    ASSERT_EQ(volumes.size(), 5u);
    // A quarter in, the third volume holds the end of "dir/a file.bin".
    std::string third = test::ReadFile(volumes[2]);
    if (c.damage == Damage::kCutShort) {
      fs::resize_file(volumes[2], third.size() / 4);
    } else if (c.damage == Damage::kFlippedByte) {
      third[third.size() / 4] ^= 0x20;
      std::ofstream(volumes[2], std::ios::binary) << third;
    }

    const RunResult run = Extract(volumes.front());

    EXPECT_NE(Log().find(c.logged), std::string::npos) << Log();
    if (c.damage != Damage::kNone) {
      EXPECT_EQ(run.status, 3);
      EXPECT_FALSE(test::Exists(temp_.Path("out")));
      continue;
    }
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(TopLevel(temp_.Path("out")), (std::set<std::string>{"b.bin", "dir", "empty"}));
    for (const test::RarEntry& entry : entries) {
      EXPECT_TRUE(entry.directory ||
                  test::ReadFile(temp_.Path("out/" + entry.name)) == entry.content)
          << entry.name;
    }
  }
}

TEST_F(MirrowenProgramTest, NeverReplacesAFileAndFinishesAMoveAKilledRunBegan) {
  temp_.WriteFile("out/b.bin", "old");
  temp_.WriteFile("out/dir/mine.txt", "mine");  // a folder the set merges into
  temp_.WriteFile("out/.mirrowen-staging-dead/tree/left/over.txt", "left");
  temp_.WriteFile("out/.mirrowen-staging-dead/moving", "");
  const std::vector<test::RarEntry> entries = RarEntries();
  const std::vector<std::string> volumes = test::WriteRarSet(
      temp_.MakeDir("in") + "/x", RarFormat::kRar5, RarNaming::kPartNumbered, entries, 100'000);

  EXPECT_EQ(Extract(volumes.front()).status, 0);

  EXPECT_EQ(test::ReadFile(temp_.Path("out/b.bin")), "old");
  EXPECT_EQ(test::ReadFile(temp_.Path("out/b (2).bin")), entries.back().content);
  EXPECT_EQ(test::ReadFile(temp_.Path("out/left/over.txt")), "left");
  EXPECT_EQ(test::ReadFile(temp_.Path("out/dir/mine.txt")), "mine");
  EXPECT_EQ(test::ReadFile(temp_.Path("out/dir/a file.bin")), entries[1].content);
  EXPECT_EQ(TopLevel(temp_.Path("out")),
            (std::set<std::string>{"b.bin", "b (2).bin", "dir", "empty", "left"}));
  EXPECT_NE(Log().find("b.bin exists already; the new one is b (2).bin"), std::string::npos);
}

TEST_F(MirrowenProgramTest, AKilledRunLeavesNoPartialFileAndTheNextRunCleansUp) {
  std::vector<test::RarEntry> entries;
  for (unsigned i = 0; i < 300; ++i) {
    entries.push_back({std::string(150, 'n') + std::to_string(i), test::Noise(64 * 1024, i)});
  }
  const std::vector<std::string> volumes = test::WriteRarSet(
      temp_.MakeDir("in") + "/big", RarFormat::kRar5, RarNaming::kPartNumbered, entries, 4 << 20);
  int pipe_fds[2];
  ASSERT_EQ(pipe2(pipe_fds, O_CLOEXEC), 0);
  fcntl(pipe_fds[1], F_SETPIPE_SZ, 4096);
  const std::string out = temp_.Path("out");
  const pid_t pid =
      Start(temp_, {"/ADDRAR:" + volumes.front(), "/DESTINATION:" + out}, pipe_fds[1]);
  close(pipe_fds[1]);
  // A line per entry, written before the entry: the small pipe, unread after the first bytes,
  // stops the run a few dozen entries in, long before the last.
  char first_byte = 0;
  ASSERT_EQ(read(pipe_fds[0], &first_byte, 1), 1);
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  close(pipe_fds[0]);

  const std::set<std::string> left = TopLevel(out);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_TRUE(left.begin()->starts_with(".mirrowen-staging-")) << *left.begin();

  EXPECT_EQ(Extract(volumes.front()).status, 0);
  EXPECT_EQ(TopLevel(out).size(), entries.size());
  for (const test::RarEntry& entry : entries) {
    EXPECT_EQ(test::ReadFile(out + "/" + entry.name), entry.content) << entry.name;
  }
  EXPECT_NE(Log().find("left unfinished by a stopped run"), std::string::npos) << Log();
}

// In-process, to see the notifications that a desktop would show: failures always, successes
// only without /TOTRAY.
TEST_F(MirrowenProgramTest, FailuresAlwaysNotifyAndQuietSuccessesNever) {
  const std::string zip = MakeZip();
  std::vector<bool> notices;  // the failure flag of each
  RunEnvironment environment{
      temp_.Path("q.log"), "unar", false,
      [&](std::string_view, std::string_view, bool failure) { notices.push_back(failure); }};
  EXPECT_EQ(RunCompanion({zip, temp_.Path("quiet"), true}, environment), 0);
  EXPECT_EQ(RunCompanion({zip, temp_.Path("shown"), false}, environment), 0);
  EXPECT_EQ(RunCompanion({temp_.Path("missing.rar"), temp_.Path("x"), true}, environment), 3);
  EXPECT_EQ(notices, (std::vector<bool>{false, true}));
  // A RAR set only unar reads, and no unar: refused, saying what to install.
  const std::vector<std::string> solid =
      test::WriteRarSet(temp_.MakeDir("rar") + "/s", RarFormat::kRar5, RarNaming::kPartNumbered,
                        RarEntries(), 1 << 20, true);
  environment.unar_program = temp_.Path("no/unar");
  EXPECT_EQ(RunCompanion({solid.front(), temp_.Path("y"), true}, environment), 3);
  EXPECT_NE(Log().find("unar (Debian package unar) is not installed"), std::string::npos) << Log();
}

}  // namespace
}  // namespace qs
