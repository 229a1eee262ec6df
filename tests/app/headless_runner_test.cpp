// The program's command-line modes end to end, as a user or a service manager runs them: a copy
// of the program in a temporary folder, beside a recording companion program.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "config/ini_settings_store.h"
#include "platform/file_system.h"
#include "tests/app/child_process.h"
#include "tests/support/temp_dir.h"

namespace qs::test {
namespace {

namespace fs = std::filesystem;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The companion's and the post-execution command's arguments, one record a start.
std::vector<std::vector<std::string>> Records(const std::string& path) {
  std::vector<std::vector<std::string>> records(1);
  std::string arg;
  for (char c : ReadFile(path)) {
    if (c == '\0') {
      records.back().push_back(std::move(arg));
      arg.clear();
    } else if (c == '\n' && arg.empty()) {
      records.emplace_back();
    } else {
      arg.push_back(c);
    }
  }
  records.pop_back();
  return records;
}

// Waiting for the detached programs to have written their records: bounded, never a fixed sleep.
std::vector<std::vector<std::string>> AwaitRecords(const std::string& path, std::size_t count) {
  for (int i = 0; i < 1000 && Records(path).size() < count; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return Records(path);
}

class HeadlessRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bin_ = sandbox_.MakeDir("bin");
    fs::copy_file(QS_QUARRYSTREAM, bin_ + "/quarrystream");
    fs::copy_file(QS_ARGV_RECORDER, bin_ + "/mirrowen");
  }

  Child Start(std::vector<std::string> arguments, const std::string& folder = {}) {
    arguments.insert(arguments.begin(), {bin_ + "/quarrystream", "--profile", profile_});
    return Spawn(arguments, {{"QS_ARGV_RECORD=" + record_, "QUARRYSTREAM_PROFILE"}, folder});
  }
  Finished Run(std::vector<std::string> arguments, const std::string& folder = {}) {
    return Wait(Start(std::move(arguments), folder));
  }
  static bool PassFinished(const Child& child) {
    return Has(ReadUntil(child.out, "Pass finished"), "Pass finished");
  }
  void WriteSetting(const std::string& key, const std::string& value) {
    IniSettingsStore(RealFileSystem(), profile_ + "/Mirrowen.conf").WriteText(key, value);
  }
  // A set whose only volume holds "hello" (CRC 3610A686).
  void MakeSet(const std::string& folder) {
    sandbox_.WriteFile(folder + "/x.rar", "hello");
    sandbox_.WriteFile(folder + "/x.sfv", "; made by a test\r\nx.rar 3610a686\r\n");
  }

  TempDir sandbox_;
  std::string bin_;
  std::string profile_ = sandbox_.Path("profile");
  std::string record_ = sandbox_.Path("record");
};

TEST_F(HeadlessRunnerTest, WatchListCommandsEditDirsCfg) {
  sandbox_.MakeDir("in");
  struct Step {
    std::vector<std::string> arguments;
    int status;
    std::string output;  // a part of it; for --list all of it
  };
  const std::string in = sandbox_.Path("in");
  const Step steps[] = {
      {{"--add", "/in one", "/out"}, 0, "/in one does not exist"},
      // Relative paths are stored absolute, normalised by their text.
      {{"--add", "in/../in/./", "out"}, 0, ""},
      {{"--include", "0", "0"}, 0, ""},
      {{"--list"}, 0, "0\t0\t/in one\t/out\n1\t1\t" + in + "\t" + sandbox_.Path("out") + "\n"},
      {{"--remove", "0"}, 0, ""},
      {{"--remove", "1"}, 2, "no row 1"},
      {{"--include", "1", "1"}, 2, "no row 1"},
      {{"--add", "/only-source"}, 2, ""},
      {{"--bogus"}, 2, ""},
      {{"--list"}, 0, "0\t1\t" + in + "\t" + sandbox_.Path("out") + "\n"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.arguments.front());
    const Finished run = Run(step.arguments, sandbox_.path());
    EXPECT_EQ(run.status, step.status) << run.output;
    if (step.arguments.front() == "--list")
      EXPECT_EQ(run.output, step.output);
    else
      EXPECT_TRUE(Has(run.output, step.output)) << run.output;
  }
  EXPECT_EQ(ReadFile(profile_ + "/dirs.cfg"),
            "1\r\n" + in + "\r\n" + sandbox_.Path("out") + "\r\n");
}

TEST_F(HeadlessRunnerTest, ScanOnceHandsOffACompleteSetAndRunsThePostExecutionCommand) {
  const std::string in = sandbox_.MakeDir("in");
  MakeSet("in/movie");
  WriteSetting("PostExecution", "\"" + bin_ + "/mirrowen\" post \"%1\" \"%2\" \"%3\"");
  ASSERT_EQ(Run({"--add", in, sandbox_.Path("out")}).status, 0);

  const Finished pass = Run({"--scan-once"});
  EXPECT_EQ(pass.status, 0) << pass.output;
  EXPECT_TRUE(Has(pass.output, "Set complete: " + in + "/movie/ (first volume: x.rar)"))
      << pass.output;
  EXPECT_TRUE(Has(pass.output, "Pass finished"));
  EXPECT_TRUE(Exists(in + "/movie/#####Quarrystream.SFV.is.OK#####"));
  EXPECT_FALSE(Exists(in + "/movie/#####Quarrystream#####"));

  auto records = AwaitRecords(record_, 2);
  ASSERT_EQ(records.size(), 2u);
  if (records[0].front() == "post")
    std::swap(records[0], records[1]);
  EXPECT_EQ(records[0], (std::vector<std::string>{
                            "/ADDRAR:" + in + "/movie/x.rar",
                            "/DESTINATION:" + sandbox_.Path("out") + "//movie/", "/TOTRAY"}));
  EXPECT_EQ(records[1], (std::vector<std::string>{"post", in + "/movie/", in + "/movie/x.sfv",
                                                  in + "/movie/x.rar"}));

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
  EXPECT_TRUE(Has(pass.output, "Pass ended early")) << pass.output;
}

// The runner saves dirs.cfg at its stop only when no other process changed it meanwhile: an
// added entry, or an --include toggle that keeps the file's size and (on a coarse clock) its time.
TEST_F(HeadlessRunnerTest, HeadlessStopsOnSigtermAndKeepsOtherProcessesEdits) {
  const std::string in = sandbox_.MakeDir("in");
  MakeSet("in/a");
  ASSERT_EQ(Run({"--add", in, sandbox_.Path("out")}).status, 0);
  ASSERT_EQ(Run({"--add", sandbox_.Path("elsewhere"), sandbox_.Path("out")}).status, 0);
  ASSERT_EQ(Run({"--include", "1", "0"}).status, 0);
  const std::string dirs = profile_ + "/dirs.cfg";
  const std::string before = ReadFile(dirs);

  Child child = Start({"--headless"});
  const std::string first = ReadUntil(child.out, "Pass finished");
  EXPECT_TRUE(Has(first, "Set complete: " + in + "/a/")) << first;
  kill(child.pid, SIGTERM);
  EXPECT_EQ(Wait(child).status, 0);
  EXPECT_EQ(ReadFile(dirs), before);
  // Nothing but dirs.cfg is written at the stop: the settings file was never created.
  EXPECT_FALSE(Exists(profile_ + "/Mirrowen.conf"));

  child = Start({"--headless"});
  ASSERT_TRUE(PassFinished(child));
  ASSERT_EQ(Run({"--add", "/added meanwhile", "/out"}).status, 0);
  kill(child.pid, SIGTERM);
  EXPECT_EQ(Wait(child).status, 0);
  EXPECT_EQ(ReadFile(dirs), before + "1\r\n/added meanwhile\r\n/out\r\n");

  child = Start({"--headless"});
  ASSERT_TRUE(PassFinished(child));
  struct stat stamp {};
  ASSERT_EQ(stat(dirs.c_str(), &stamp), 0);
  ASSERT_EQ(Run({"--include", "0", "0"}).status, 0);
  const timespec times[2] = {stamp.st_atim, stamp.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, dirs.c_str(), times, 0), 0);
  kill(child.pid, SIGTERM);
  EXPECT_EQ(Wait(child).status, 0);
  EXPECT_EQ(ReadFile(dirs).substr(0, 3), "0\r\n");
}

// One process scans a watch list: of two runners started at once one exits 4 naming the other,
// as a --scan-once beside it does, while --status shows the scanner and what its last pass found.
// (That every set is handed off once across passes, kills included, is the crash soak's.)
TEST_F(HeadlessRunnerTest, OnlyOneProcessScansAWatchList) {
  const std::string in = sandbox_.MakeDir("in");
  MakeSet("in/s0");
  ASSERT_EQ(Run({"--add", in, sandbox_.Path("out")}).status, 0);
  EXPECT_TRUE(Has(Run({"--status"}).output, "No pass has ended yet"));
  Child first = Start({"--headless"});
  Child second = Start({"--headless"});
  int status = 0;
  const pid_t ended = waitpid(-1, &status, 0);
  ASSERT_TRUE(ended == first.pid || ended == second.pid);
  const Child& loser = ended == first.pid ? first : second;
  Child& scanner = ended == first.pid ? second : first;
  const std::string said = ReadUntil(loser.out, {});
  close(loser.out);
  EXPECT_EQ(WEXITSTATUS(status), 4) << said;
  EXPECT_TRUE(Has(said, "process " + std::to_string(scanner.pid) + " already scans")) << said;
  EXPECT_EQ(Run({"--scan-once"}).status, 4);
  ASSERT_TRUE(PassFinished(scanner));
  const std::string shown = Run({"--status"}).output;
  EXPECT_TRUE(Has(shown, "1 set complete")) << shown;
  EXPECT_TRUE(Has(shown, "Scanned by process " + std::to_string(scanner.pid))) << shown;
  kill(scanner.pid, SIGTERM);
  EXPECT_EQ(Wait(scanner).status, 0);
  EXPECT_TRUE(Has(Run({"--status"}).output, "No process scans this watch list now"));
  EXPECT_EQ(Run({"--scan-once"}).status, 0);  // the lock went with the runner
  EXPECT_TRUE(Has(ReadFile(profile_ + "/quarrystream.log"), "Set complete: " + in + "/s0/"));
}

}  // namespace
}  // namespace qs::test
