// The program as Quarrystream starts it: arguments already split, stdin on /dev/null, nobody
// waiting; what it reports is its exit status and its two output streams.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/companion/archive_builder.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace qs {
namespace {

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

RunResult RunMirrowen(const test::TempDir& temp, const std::vector<std::string>& args) {
  const std::string out_path = temp.Path("stdout.txt");
  const std::string err_path = temp.Path("stderr.txt");
  std::vector<char*> argv{const_cast<char*>(QS_MIRROWEN)};
  for (const std::string& arg : args) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  RunResult result;
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << QS_MIRROWEN;
    return result;
  }
  int status = 0;
  if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    result.status = WEXITSTATUS(status);
  }
  result.out = test::ReadFile(out_path);
  result.err = test::ReadFile(err_path);
  return result;
}

class MirrowenProgramTest : public ::testing::Test {
 protected:
  std::string MakeZip() {
    return temp_.WriteFile(
        "in/my set/x.zip",
        test::BuildArchive(test::FixtureFormat::kZip,
                           {test::File("movie/a.mkv", "frames"), test::File("b.nfo", "info")}));
  }
  test::TempDir temp_;
};

TEST_F(MirrowenProgramTest, QuietRunExtractsAndPrintsNothing) {
  const std::string first = MakeZip();
  const RunResult run = RunMirrowen(
      temp_, {"/ADDRAR:" + first, "/DESTINATION:" + temp_.path() + "//out/my set/", "/TOTRAY"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(test::ReadFile(temp_.Path("out/my set/movie/a.mkv")), "frames");
}

TEST_F(MirrowenProgramTest, VerboseRunListsEachEntry) {
  const std::string first = MakeZip();
  const RunResult run =
      RunMirrowen(temp_, {"/ADDRAR:" + first, "/DESTINATION:" + temp_.Path("out/")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("  movie/a.mkv\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("  b.nfo\n"), std::string::npos) << run.out;
  EXPECT_EQ(test::ReadFile(temp_.Path("out/b.nfo")), "info");
}

struct StatusCase {
  std::string label;
  std::vector<std::string> args;  // "@" stands for the sandbox folder
  int status;
  std::string err;  // a part of stderr
};

void PrintTo(const StatusCase& c, std::ostream* os) {
  *os << c.label;
}

class MirrowenStatusTest : public MirrowenProgramTest,
                           public ::testing::WithParamInterface<StatusCase> {};

TEST_P(MirrowenStatusTest, ExitsWithTheStatusOfTheFailure) {
  temp_.WriteFile("in/bad.tar",
                  test::BuildArchive(test::FixtureFormat::kPaxTar,
                                     {test::File("../escape", "x"), test::File("ok", "y")}));
  std::vector<std::string> args = GetParam().args;
  for (std::string& arg : args) {
    if (const std::size_t at = arg.find('@'); at != std::string::npos) {
      arg.replace(at, 1, temp_.path());
    }
  }
  const RunResult run = RunMirrowen(temp_, args);
  EXPECT_EQ(run.status, GetParam().status);
  EXPECT_NE(run.err.find(GetParam().err), std::string::npos) << run.err;
  EXPECT_FALSE(test::Exists(temp_.Path("escape")));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, MirrowenStatusTest,
    ::testing::Values(
        StatusCase{"NoArguments", {}, 2, "Usage:"},
        StatusCase{"NoDestination", {"/ADDRAR:@/in/bad.tar"}, 2, "missing /DESTINATION:"},
        StatusCase{
            "NoFirstVolume", {"/ADDRAR:@/in/", "/DESTINATION:@/out/"}, 1, "nothing to extract"},
        StatusCase{"MissingFile", {"/ADDRAR:@/in/x.rar", "/DESTINATION:@/out/"}, 1, "x.rar"},
        StatusCase{"HostileMember",
                   {"/ADDRAR:@/in/bad.tar", "/DESTINATION:@/out/", "/TOTRAY"},
                   1,
                   "../escape"}),
    [](const ::testing::TestParamInfo<StatusCase>& info) { return info.param.label; });

TEST_F(MirrowenProgramTest, HelpGoesToStdout) {
  const RunResult run = RunMirrowen(temp_, {"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("/ADDRAR:"), std::string::npos);
}

}  // namespace
}  // namespace qs
