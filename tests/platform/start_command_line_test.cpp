#include "platform/command_line.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace qs {
namespace {

using Args = std::vector<std::string>;

// Starts programs with QS_ARGV_RECORD pointing into a sandbox and reads what the recorder got.
class StartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    record_ = dir_.Path("record");
    ::setenv("QS_ARGV_RECORD", record_.c_str(), 1);
    ::unsetenv("QS_ARGV_HOLD");
    watch_ = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    ASSERT_GE(watch_, 0);
    ASSERT_GE(::inotify_add_watch(watch_, dir_.path().c_str(), IN_CLOSE_WRITE), 0);
  }
  void TearDown() override {
    ::close(watch_);
    ::unsetenv("QS_ARGV_RECORD");
  }

  // Blocks until the recorder has written and closed its record (bounded, so that a broken
  // start fails the test instead of hanging it), then returns the arguments it received.
  Args WaitForRecord() {
    std::string content;
    for (int rounds = 0; rounds < 100; ++rounds) {
      content = test::ReadFile(record_);
      if (!content.empty() && content.back() == '\n') {
        break;
      }
      pollfd ready{watch_, POLLIN, 0};
      if (::poll(&ready, 1, 1000) > 0) {
        char events[4096];
        while (::read(watch_, events, sizeof events) > 0) {
        }
      }
    }
    Args arguments;
    std::string current;
    for (std::size_t i = 0; i + 1 < content.size(); ++i) {
      if (content[i] == '\0') {
        arguments.push_back(current);
        current.clear();
      } else {
        current.push_back(content[i]);
      }
    }
    EXPECT_TRUE(!content.empty() && content.back() == '\n') << "no record";
    return arguments;
  }

  // Nothing we started is left as a child of ours: not the intermediate, not the program.
  static void ExpectNoChildren() {
    int status = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
  }

  std::string CopyRecorderTo(const std::string& relative) {
    const std::string target = dir_.Path(relative);
    std::filesystem::create_directories(std::filesystem::path(target).parent_path());
    std::filesystem::copy_file(QS_ARGV_RECORDER, target);
    return target;
  }

  test::TempDir dir_;
  std::string record_;
  int watch_ = -1;
};

TEST_F(StartTest, ArgumentsArriveOneEachAndLiterally) {
  const std::string pwned = dir_.Path("pwned");
  const std::string text = std::string(QS_ARGV_RECORDER) + " \"with spaces\" \"$(touch " + pwned +
                           ")\" `touch " + pwned + "` ;touch " + pwned +
                           R"( a\\"b c" "q\"uote" "" 'single')";
  ASSERT_EQ(StartCommandLine(text), kErrorSuccess);
  ExpectNoChildren();
  EXPECT_EQ(WaitForRecord(), (Args{"with spaces", "$(touch " + pwned + ")", "`touch", pwned + "`",
                                   ";touch", pwned, R"(a\b c)", R"(q"uote)", "", "'single'"}));
  EXPECT_FALSE(test::Exists(pwned));
}

TEST_F(StartTest, QuotedProgramPathWithSpaces) {
  const std::string program = CopyRecorderTo("dir with spaces/argv recorder");
  ASSERT_EQ(StartCommandLine("\"" + program + "\" /ADDRAR:\"" + dir_.Path("a b.rar") + "\""),
            kErrorSuccess);
  EXPECT_EQ(WaitForRecord(), (Args{"/ADDRAR:" + dir_.Path("a b.rar")}));
  ExpectNoChildren();
}

TEST_F(StartTest, UnquotedProgramPathWithSpacesIsFoundByItsPrefixes) {
  const std::string program = CopyRecorderTo("dir with spaces/argv recorder");
  // Decoys on the way: a folder and a file that is not executable.
  dir_.MakeDir("dir");
  dir_.WriteFile("dir with", "not a program");
  ASSERT_EQ(StartCommandLine("  " + program + " first \"second arg\" third"), kErrorSuccess);
  EXPECT_EQ(WaitForRecord(), (Args{"first", "second arg", "third"}));
  ExpectNoChildren();
}

TEST_F(StartTest, WholeTextIsTheLastCandidate) {
  const std::string program = CopyRecorderTo("no args here/recorder");
  ASSERT_EQ(StartCommandLine(program), kErrorSuccess);
  EXPECT_EQ(WaitForRecord(), Args{});
}

TEST_F(StartTest, ArgumentsAreStartedAsGiven) {
  ASSERT_EQ(StartArguments({QS_ARGV_RECORDER, "a b", "", "\"", "\xff"}), kErrorSuccess);
  EXPECT_EQ(WaitForRecord(), (Args{"a b", "", "\"", "\xff"}));
  ExpectNoChildren();
}

TEST_F(StartTest, MissingOrUnfitProgramsStartNothing) {
  dir_.MakeDir("folder");
  const std::string not_executable = dir_.WriteFile("script", "#!/bin/sh\n");
  const std::string texts[] = {"", "   ", dir_.Path("missing") + " arg",
                               "\"" + dir_.Path("missing program") + "\" arg", dir_.Path("folder"),
                               not_executable + " x", "\"" + std::string(QS_ARGV_RECORDER) + " \"",
                               // No shell and no PATH search.
                               "sh -c 'touch " + dir_.Path("pwned") + "'", "argv_recorder"};
  for (const auto& text : texts) {
    EXPECT_EQ(StartCommandLine(text), kErrorFileNotFound) << text;
  }
  EXPECT_EQ(StartArguments({}), kErrorFileNotFound);
  EXPECT_EQ(StartArguments({""}), kErrorFileNotFound);
  ExpectNoChildren();
  EXPECT_FALSE(test::Exists(dir_.Path("pwned")));
  EXPECT_FALSE(test::Exists(record_));
}

TEST_F(StartTest, ProgramGetsNullInputAndDefaultSignals) {
  // A program that was started with SIGIO ignored would keep ignoring it after exec; the
  // recorder is started from a process that ignores it, and must come up with the default.
  const std::string script =
      dir_.WriteFile("probe", "#!/bin/sh\nexec " + std::string(QS_ARGV_RECORDER) +
                                  " \"$(grep SigIgn /proc/self/status)\" \"$(head -c 5)\"\n");
  ASSERT_EQ(::chmod(script.c_str(), 0755), 0);
  ::signal(SIGIO, SIG_IGN);
  ASSERT_EQ(StartArguments({script}), kErrorSuccess);
  const Args got = WaitForRecord();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[1], "");  // stdin is /dev/null
  // SIGIO is signal 29: bit 28 of the ignored mask must be clear.
  const std::string mask = got[0].substr(got[0].find_last_of(" \t") + 1);
  EXPECT_EQ(std::strtoull(mask.c_str(), nullptr, 16) & (1ull << 28), 0u) << got[0];
}

}  // namespace
}  // namespace qs
