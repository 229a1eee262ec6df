// The program's command-line modes end to end, as a user or a service manager runs them: a copy
// of the program in a temporary folder, beside a recording companion program.
#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/ini_settings_store.h"
#include "platform/file_system.h"
#include "tests/app/program.h"
#include "tests/support/temp_dir.h"

namespace qs::test {
namespace {

namespace fs = std::filesystem;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct Finished {
  int status;
  std::string output;
};

class HeadlessRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(QS_QUARRYSTREAM, bin_ + "/quarrystream");
    fs::copy_file(QS_ARGV_RECORDER, bin_ + "/mirrowen");
  }

  Program Start(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {bin_ + "/quarrystream", "--profile", profile_});
    return Program(arguments, {"QS_ARGV_RECORD=" + record_, "QUARRYSTREAM_PROFILE="});
  }
  Finished Run(std::vector<std::string> arguments) {
    Program program = Start(std::move(arguments));
    const int status = program.Finish();
    return {status, program.output};
  }
  // A set whose only volume holds "hello" (CRC 3610A686).
  void MakeSet(const std::string& folder) {
    sandbox_.WriteFile(folder + "/x.rar", "hello");
    sandbox_.WriteFile(folder + "/x.sfv", "; made by a test\r\nx.rar 3610a686\r\n");
  }

  TempDir sandbox_;
  std::string bin_ = sandbox_.MakeDir("bin");
  std::string profile_ = sandbox_.Path("profile");
  std::string record_ = sandbox_.Path("record");
  std::string out_ = sandbox_.Path("out");
};

TEST_F(HeadlessRunnerTest, WatchListCommandsEditDirsCfg) {
  struct Step {
    std::vector<std::string> arguments;
    int status;
    std::string output;  // a part of it; for --list all of it
  };
  // Relative paths are stored absolute, normalised by their text.
  const std::string rel = fs::current_path().string() + "/rel";
  const std::string cwd_out = fs::current_path().string() + "/out";
  const Step steps[] = {
      {{"--add", "/in one", "/out"}, 0, "/in one does not exist"},
      {{"--add", "rel/../rel/./", "out"}, 0, ""},
      {{"--include", "0", "0"}, 0, ""},
      {{"--list"}, 0, "0\t0\t/in one\t/out\n1\t1\t" + rel + "\t" + cwd_out + "\n"},
      {{"--remove", "0"}, 0, ""},
      {{"--remove", "1"}, 2, "no row 1"},
      {{"--include", "1", "1"}, 2, "no row 1"},
      {{"--bogus"}, 2, ""},
      {{"--list"}, 0, "0\t1\t" + rel + "\t" + cwd_out + "\n"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.arguments.front());
    const Finished run = Run(step.arguments);
    EXPECT_EQ(run.status, step.status) << run.output;
    if (step.arguments.front() == "--list")
      EXPECT_EQ(run.output, step.output);
    else
      EXPECT_TRUE(Has(run.output, step.output)) << run.output;
  }
  EXPECT_EQ(ReadFile(profile_ + "/dirs.cfg"), "1\r\n" + rel + "\r\n" + cwd_out + "\r\n");
}

TEST_F(HeadlessRunnerTest, ScanOnceHandsOffACompleteSetOnceAndRunsThePostExecutionCommand) {
  const std::string in = sandbox_.MakeDir("in");
  MakeSet("in/movie");
  IniSettingsStore(RealFileSystem(), profile_ + "/Mirrowen.conf")
      .WriteText("PostExecution", "\"" + bin_ + "/mirrowen\" post \"%1\" \"%2\" \"%3\"");
  ASSERT_EQ(Run({"--add", in, out_}).status, 0);

  const Finished pass = Run({"--scan-once"});
  EXPECT_EQ(pass.status, 0) << pass.output;
  EXPECT_TRUE(Has(pass.output, "Set complete: " + in + "/movie/ (first volume: x.rar)"))
      << pass.output;

  auto records = ArgvRecords(record_, 2);
  ASSERT_EQ(records.size(), 2u);
  if (records[0].front() == "post")
    std::swap(records[0], records[1]);
  EXPECT_EQ(records[0], (std::vector<std::string>{"/ADDRAR:" + in + "/movie/x.rar",
                                                  "/DESTINATION:" + out_ + "//movie/", "/TOTRAY"}));
  EXPECT_EQ(records[1], (std::vector<std::string>{"post", in + "/movie/", in + "/movie/x.sfv",
                                                  in + "/movie/x.rar"}));

  // The marker keeps the set from being handed off again.
  EXPECT_EQ(Run({"--scan-once"}).status, 0);
  EXPECT_EQ(ArgvRecords(record_).size(), 2u);

  // Found as an SFV file, but it cannot be opened: the pass ends early.
  fs::create_symlink(sandbox_.Path("nowhere.sfv"), in + "/broken.sfv");
  const Finished early = Run({"--scan-once"});
  EXPECT_EQ(early.status, 1);
  EXPECT_TRUE(Has(early.output, "Pass ended early")) << early.output;
}

// While a runner scans a watch list no other process does (a second runner or --scan-once
// exits 4). At SIGTERM it saves dirs.cfg only when no other process changed it meanwhile: an
// added entry, or an --include toggle that keeps the file's size and (on a coarse clock) its time.
TEST_F(HeadlessRunnerTest, HeadlessScansAloneAndKeepsOtherProcessesEdits) {
  const std::string in = sandbox_.MakeDir("in");
  MakeSet("in/a");
  ASSERT_EQ(Run({"--add", in, out_}).status, 0);
  ASSERT_EQ(Run({"--add", sandbox_.Path("elsewhere"), out_}).status, 0);
  ASSERT_EQ(Run({"--include", "1", "0"}).status, 0);
  const std::string dirs = profile_ + "/dirs.cfg";
  const std::string before = ReadFile(dirs);
  {
    Program scanner = Start({"--headless"});
    ASSERT_TRUE(scanner.ReadUntil("Pass finished")) << scanner.output;
    EXPECT_TRUE(Has(scanner.output, "Set complete: " + in + "/a/")) << scanner.output;
    const Finished second = Run({"--headless"});
    EXPECT_EQ(second.status, 4);
    EXPECT_TRUE(Has(second.output, "process " + std::to_string(scanner.pid) + " already scans"))
        << second.output;
    EXPECT_EQ(Run({"--scan-once"}).status, 4);
    scanner.Signal(SIGTERM);
    EXPECT_EQ(scanner.Finish(), 0) << scanner.output;
  }
  EXPECT_EQ(ReadFile(dirs), before);
  // Nothing but dirs.cfg is written at the stop: the settings file was never created.
  EXPECT_FALSE(Exists(profile_ + "/Mirrowen.conf"));

  const std::pair<std::vector<std::string>, std::string> edits[] = {
      {{"--include", "0", "0"}, "0" + before.substr(1)},
      {{"--add", "/added meanwhile", "/out"},
       "0" + before.substr(1) + "1\r\n/added meanwhile\r\n/out\r\n"},
  };
  for (const auto& [edit, after] : edits) {
    SCOPED_TRACE(edit.front());
    Program runner = Start({"--headless"});
    ASSERT_TRUE(runner.ReadUntil("Pass finished")) << runner.output;
    struct stat stamp {};
    ASSERT_EQ(stat(dirs.c_str(), &stamp), 0);
    ASSERT_EQ(Run(edit).status, 0);
    const timespec times[2] = {stamp.st_atim, stamp.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, dirs.c_str(), times, 0), 0);
    runner.Signal(SIGTERM);
    EXPECT_EQ(runner.Finish(), 0) << runner.output;
    EXPECT_EQ(ReadFile(dirs), after);
  }
}

}  // namespace
}  // namespace qs::test
