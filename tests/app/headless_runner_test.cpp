// The program's command-line modes end to end, as a user or a service manager runs them: a copy
// of the program in a temporary folder, beside a recording companion program.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "config/ini_settings_store.h"
#include "platform/file_system.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace qs {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;

struct Child {
  pid_t pid = -1;
  int out = -1;  // the child's standard output and error
};

Child Spawn(const std::vector<std::string>& arguments, const std::string& record,
            const std::string& folder = {}) {
  std::vector<char*> argv;
  for (const auto& a : arguments)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> env_storage = {"QS_ARGV_RECORD=" + record};
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::string_view(*e).starts_with("QS_ARGV_RECORD=") ||
        std::string_view(*e).starts_with("QUARRYSTREAM_PROFILE=")) {
      continue;
    }
    env_storage.emplace_back(*e);
  }
  std::vector<char*> envp;
  for (auto& e : env_storage)
    envp.push_back(e.data());
  envp.push_back(nullptr);

  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0)
    return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDERR_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (!folder.empty())
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  Child child;
  if (posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
    child.pid = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  child.out = pipe_fds[0];
  return child;
}

// Reads the child's output until `marker` has appeared (or the output ends).
std::string ReadUntil(int fd, std::string_view marker) {
  std::string text;
  char buffer[4096];
  while (text.find(marker) == std::string::npos) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0)
      break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text;
}

struct Finished {
  int status = -1;  // exit status, or -1 when it did not exit normally
  std::string output;
};

Finished Wait(Child child) {
  Finished result;
  result.output = ReadUntil(child.out, std::string(1, '\0'));  // to the end of the output
  close(child.out);
  int status = 0;
  waitpid(child.pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::vector<std::vector<std::string>> Records(const std::string& path) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> current;
  std::string arg;
  for (char c : ReadFile(path)) {
    if (c == '\0') {
      current.push_back(arg);
      arg.clear();
    } else if (c == '\n' && arg.empty()) {
      records.push_back(current);
      current.clear();
    } else {
      arg.push_back(c);
    }
  }
  return records;
}

// Waiting for the detached programs to have written their records: bounded, never a fixed sleep.
std::vector<std::vector<std::string>> AwaitRecords(const std::string& path, std::size_t count) {
  for (int i = 0; i < 1000; ++i) {
    auto records = Records(path);
    if (records.size() >= count)
      return records;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return Records(path);
}

class HeadlessRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bin_ = sandbox_.MakeDir("bin");
    program_ = bin_ + "/quarrystream";
    fs::copy_file(QS_QUARRYSTREAM, program_);
    fs::copy_file(QS_ARGV_RECORDER, bin_ + "/mirrowen");
    profile_ = sandbox_.Path("profile");
    record_ = sandbox_.Path("record");
  }

  Finished Run(std::vector<std::string> arguments, const std::string& profile = {},
               const std::string& folder = {}) {
    arguments.insert(arguments.begin(),
                     {program_, "--profile", profile.empty() ? profile_ : profile});
    return Wait(Spawn(arguments, record_, folder));
  }
  Child Start(const std::string& mode, const std::string& profile = {}) {
    return Spawn({program_, "--profile", profile.empty() ? profile_ : profile, mode}, record_);
  }
  void PassEverySecond(const std::string& profile) {
    IniSettingsStore settings(RealFileSystem(), profile + "/Mirrowen.conf");
    settings.WriteInt("ReScan", 1);
  }
  void ExpectEachHandedOffOnce(std::size_t sets) {
    std::map<std::string, int> counts;
    for (const auto& record : Records(record_))
      ++counts[record.at(0)];
    EXPECT_EQ(counts.size(), sets);
    for (const auto& [volume, count] : counts)
      EXPECT_EQ(count, 1) << volume;
  }
  // Sets s0..s<count-1> arrive in `in` one by one, each after a pass of `scanner` has ended;
  // then returns once every set has been handed off and `scanner` has ended one more pass.
  void SetsArrive(const std::string& in, int count, Child& scanner) {
    for (int i = 0; i < count; ++i) {
      ASSERT_NE(ReadUntil(scanner.out, "Pass finished").find("Pass finished"), std::string::npos);
      MakeSet(in.substr(sandbox_.path().size() + 1) + "/s" + std::to_string(i));
    }
    AwaitRecords(record_, static_cast<std::size_t>(count));
    ReadUntil(scanner.out, "Pass finished");
    ReadUntil(scanner.out, "Pass finished");
  }

  // A set whose only volume holds "hello" (CRC 3610A686).
  void MakeSet(const std::string& folder) {
    sandbox_.WriteFile(folder + "/x.rar", "hello");
    sandbox_.WriteFile(folder + "/x.sfv", "; made by a test\r\nx.rar 3610a686\r\n");
  }

  TempDir sandbox_;
  std::string bin_;
  std::string program_;
  std::string profile_;
  std::string record_;
};

TEST_F(HeadlessRunnerTest, WatchListCommandsEditDirsCfg) {
  EXPECT_EQ(Run({"--add", "/in one", "/out"}).status, 0);
  EXPECT_EQ(Run({"--add", "/in two", "/out2"}).status, 0);
  EXPECT_EQ(Run({"--include", "0", "0"}).status, 0);
  EXPECT_EQ(ReadFile(profile_ + "/dirs.cfg"), "0\r\n/in one\r\n/out\r\n1\r\n/in two\r\n/out2\r\n");
  EXPECT_EQ(Run({"--list"}).output, "0\t0\t/in one\t/out\n1\t1\t/in two\t/out2\n");

  EXPECT_EQ(Run({"--remove", "0"}).status, 0);
  EXPECT_EQ(Run({"--list"}).output, "0\t1\t/in two\t/out2\n");

  const Finished missing_row = Run({"--remove", "7"});
  EXPECT_EQ(missing_row.status, 2);
  EXPECT_NE(missing_row.output.find("no row 7"), std::string::npos);
  EXPECT_EQ(Run({"--add", "/only-source"}).status, 2);
  EXPECT_EQ(Run({"--bogus"}).status, 2);
  EXPECT_EQ(ReadFile(profile_ + "/dirs.cfg"), "1\r\n/in two\r\n/out2\r\n");
}

TEST_F(HeadlessRunnerTest, ScanOnceHandsOffACompleteSetAndRunsThePostExecutionCommand) {
  const std::string in = sandbox_.MakeDir("in");
  MakeSet("in/movie");
  {
    IniSettingsStore settings(RealFileSystem(), profile_ + "/Mirrowen.conf");
    settings.WriteText("PostExecution", "\"" + bin_ + "/mirrowen\" post \"%1\" \"%2\" \"%3\"");
  }
  ASSERT_EQ(Run({"--add", in, sandbox_.Path("out")}).status, 0);

  const Finished pass = Run({"--scan-once"});
  EXPECT_EQ(pass.status, 0) << pass.output;
  EXPECT_NE(pass.output.find("Set complete: " + in + "/movie/ (first volume: x.rar)"),
            std::string::npos)
      << pass.output;
  EXPECT_NE(pass.output.find("Pass finished"), std::string::npos);
  EXPECT_TRUE(test::Exists(in + "/movie/#####Quarrystream.SFV.is.OK#####"));
  EXPECT_FALSE(test::Exists(in + "/movie/#####Quarrystream#####"));

  auto records = AwaitRecords(record_, 2);
  ASSERT_EQ(records.size(), 2u);
  if (records[0].front() == "post")
    std::swap(records[0], records[1]);
  const std::vector<std::string> companion = {"/ADDRAR:" + in + "/movie/x.rar",
                                              "/DESTINATION:" + sandbox_.Path("out") + "//movie/",
                                              "/TOTRAY"};
  const std::vector<std::string> post = {"post", in + "/movie/", in + "/movie/x.sfv",
                                         in + "/movie/x.rar"};
  EXPECT_EQ(records[0], companion);
  EXPECT_EQ(records[1], post);

  // The marker keeps the set from being handed off again.
  EXPECT_EQ(Run({"--scan-once"}).status, 0);
  EXPECT_EQ(Records(record_).size(), 2u);
}

TEST_F(HeadlessRunnerTest, ScanOnceReportsAnEarlyEnd) {
  const std::string in = sandbox_.MakeDir("in");
  // Found as an SFV file, but it cannot be opened: the pass ends early.
  fs::create_symlink(sandbox_.Path("nowhere.sfv"), in + "/broken.sfv");
  ASSERT_EQ(Run({"--add", in, sandbox_.Path("out")}).status, 0);
  const Finished pass = Run({"--scan-once"});
  EXPECT_EQ(pass.status, 1);
  EXPECT_NE(pass.output.find("Pass ended early"), std::string::npos) << pass.output;
}

TEST_F(HeadlessRunnerTest, HeadlessStopsOnSigtermAndKeepsDirsCfg) {
  const std::string in = sandbox_.MakeDir("in");
  MakeSet("in/a");
  ASSERT_EQ(Run({"--add", in, sandbox_.Path("out")}).status, 0);
  ASSERT_EQ(Run({"--add", sandbox_.Path("elsewhere"), sandbox_.Path("out")}).status, 0);
  ASSERT_EQ(Run({"--include", "1", "0"}).status, 0);
  const std::string before = ReadFile(profile_ + "/dirs.cfg");

  Child child = Spawn({program_, "--profile", profile_, "--headless"}, record_);
  ASSERT_GT(child.pid, 0);
  const std::string first = ReadUntil(child.out, "Pass finished");
  ASSERT_NE(first.find("Pass finished"), std::string::npos) << first;
  EXPECT_NE(first.find("Set complete: " + in + "/a/"), std::string::npos) << first;
  kill(child.pid, SIGTERM);
  const Finished end = Wait(child);
  EXPECT_EQ(end.status, 0) << first << end.output;
  EXPECT_EQ(ReadFile(profile_ + "/dirs.cfg"), before);

  // An entry added by another process while the runner runs survives the runner's stop.
  child = Spawn({program_, "--profile", profile_, "--headless"}, record_);
  ASSERT_NE(ReadUntil(child.out, "Pass finished").find("Pass finished"), std::string::npos);
  ASSERT_EQ(Run({"--add", "/added meanwhile", "/out"}).status, 0);
  kill(child.pid, SIGTERM);
  EXPECT_EQ(Wait(child).status, 0);
  EXPECT_EQ(ReadFile(profile_ + "/dirs.cfg"), before + "1\r\n/added meanwhile\r\n/out\r\n");
  // Nothing but dirs.cfg is written at the stop: the settings file was never created.
  EXPECT_FALSE(test::Exists(profile_ + "/Mirrowen.conf"));
}

// One process scans a watch list: of two runners started at once one exits 4 naming the other,
// as a --scan-once beside it does; every set that arrives is handed off exactly once.
TEST_F(HeadlessRunnerTest, OnlyOneProcessScansAWatchListAndEachSetIsHandedOffOnce) {
  const std::string in = sandbox_.MakeDir("in");
  ASSERT_EQ(Run({"--add", in, sandbox_.Path("out")}).status, 0);
  PassEverySecond(profile_);
  Child first = Start("--headless");
  Child second = Start("--headless");
  int status = 0;
  const pid_t ended = waitpid(-1, &status, 0);
  ASSERT_TRUE(ended == first.pid || ended == second.pid);
  Child& loser = ended == first.pid ? first : second;
  Child& scanner = ended == first.pid ? second : first;
  const std::string said = ReadUntil(loser.out, std::string(1, '\0'));
  close(loser.out);
  EXPECT_EQ(WEXITSTATUS(status), 4) << said;
  EXPECT_NE(said.find("process " + std::to_string(scanner.pid) + " already scans"),
            std::string::npos)
      << said;
  EXPECT_EQ(Run({"--scan-once"}).status, 4);
  SetsArrive(in, 4, scanner);
  EXPECT_NE(Run({"--status"}).output.find("4 sets complete"), std::string::npos);
  kill(scanner.pid, SIGTERM);
  EXPECT_EQ(Wait(scanner).status, 0);
  EXPECT_EQ(Run({"--scan-once"}).status, 0);  // the lock went with the runner
  ExpectEachHandedOffOnce(4);
  EXPECT_NE(ReadFile(profile_ + "/quarrystream.log").find("Set complete: " + in + "/s3/"),
            std::string::npos);
}

// Two profiles that watch one folder scan side by side; the claim on each set's folder still
// lets only one of them hand the set off.
TEST_F(HeadlessRunnerTest, TwoProfilesWatchingOneFolderHandEachSetOffOnce) {
  const std::string in = sandbox_.MakeDir("in");
  const std::string other = sandbox_.Path("other profile");
  for (const std::string& profile : {profile_, other}) {
    ASSERT_EQ(Run({"--add", in, sandbox_.Path("out")}, profile).status, 0);
    PassEverySecond(profile);
  }
  Child first = Start("--headless");
  Child second = Start("--headless", other);
  SetsArrive(in, 6, first);
  ReadUntil(second.out, "Pass finished");
  for (Child* child : {&first, &second}) {
    kill(child->pid, SIGTERM);
    EXPECT_EQ(Wait(*child).status, 0);
  }
  ExpectEachHandedOffOnce(6);
}

// --add stores what a runner started anywhere finds: absolute paths, normalised by their text.
TEST_F(HeadlessRunnerTest, AddStoresAbsolutePathsAndWarnsOfAMissingSource) {
  sandbox_.MakeDir("in");
  EXPECT_EQ(Run({"--add", "in/../in/./", "out"}, {}, sandbox_.path()).status, 0);
  const Finished missing = Run({"--add", "not/yet", "/out"}, {}, sandbox_.path());
  EXPECT_EQ(missing.status, 0);
  EXPECT_NE(missing.output.find(sandbox_.Path("not/yet") + " does not exist"), std::string::npos);
  EXPECT_EQ(Run({"--list"}).output, "0\t1\t" + sandbox_.Path("in") + "\t" + sandbox_.Path("out") +
                                        "\n1\t1\t" + sandbox_.Path("not/yet") + "\t/out\n");
}

// An --include toggle keeps the file's size, and a coarse clock its time: the runner tells the
// new file by its identity, and leaves it alone at its stop.
TEST_F(HeadlessRunnerTest, AnIncludeToggleWithinOneClockTickSurvivesTheRunnersStop) {
  ASSERT_EQ(Run({"--add", sandbox_.MakeDir("in"), "/out"}).status, 0);
  Child child = Start("--headless");
  ASSERT_NE(ReadUntil(child.out, "Pass finished").find("Pass finished"), std::string::npos);
  const std::string dirs = profile_ + "/dirs.cfg";
  struct stat before {};
  ASSERT_EQ(stat(dirs.c_str(), &before), 0);
  ASSERT_EQ(Run({"--include", "0", "0"}).status, 0);
  const timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, dirs.c_str(), times, 0), 0);
  kill(child.pid, SIGTERM);
  EXPECT_EQ(Wait(child).status, 0);
  EXPECT_EQ(ReadFile(dirs).substr(0, 3), "0\r\n");
}

}  // namespace
}  // namespace qs
