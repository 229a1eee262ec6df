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
    ::setenv("QS_ARGV_RECORD", record_.c_str(), 1);
    ASSERT_GE(::inotify_add_watch(watch_, dir_.path().c_str(), IN_CLOSE_WRITE), 0);
  }
  void TearDown() override {
    ::close(watch_);
    ::unsetenv("QS_ARGV_RECORD");
    // Nothing we started is left as a child of ours: not the intermediate, not the program.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
  }

  // Waits until the recorder has written its record (bounded, so that a broken start fails the
  // test instead of hanging it), removes it and returns the arguments it received.
  Args TakeRecord() {
    std::string content;
    for (int rounds = 0; rounds < 100; ++rounds) {
      if ((content = test::ReadFile(record_)).ends_with('\n')) {
        break;
      }
      pollfd ready{watch_, POLLIN, 0};
      if (::poll(&ready, 1, 1000) > 0) {
        char events[4096];
        while (::read(watch_, events, sizeof events) > 0) {
        }
      }
    }
    EXPECT_TRUE(content.ends_with('\n')) << "no record";
    ::unlink(record_.c_str());
    Args arguments;
    for (std::size_t begin = 0, end; (end = content.find('\0', begin)) != std::string::npos;
         begin = end + 1) {
      arguments.push_back(content.substr(begin, end - begin));
    }
    return arguments;
  }

  test::TempDir dir_;
  std::string record_ = dir_.Path("record");
  int watch_ = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
};

TEST_F(StartTest, ArgumentsArriveOneEachAndLiterallyWithoutAShell) {
  const std::string pwned = dir_.Path("pwned");
  ASSERT_EQ(StartCommandLine(std::string(QS_ARGV_RECORDER) + " \"with spaces\" \"$(touch " + pwned +
                             ")\" `touch " + pwned + "` ;touch " + pwned +
                             R"( a\\"b c" "q\"uote" "" 'single')"),
            kErrorSuccess);
  EXPECT_EQ(TakeRecord(), (Args{"with spaces", "$(touch " + pwned + ")", "`touch", pwned + "`",
                                ";touch", pwned, R"(a\b c)", R"(q"uote)", "", "'single'"}));
  EXPECT_FALSE(test::Exists(pwned));
  ASSERT_EQ(StartArguments({QS_ARGV_RECORDER, "a b", "", "\"", "\xff"}), kErrorSuccess);
  EXPECT_EQ(TakeRecord(), (Args{"a b", "", "\"", "\xff"}));
}

TEST_F(StartTest, ProgramPathWithSpacesIsFoundQuotedOrByItsPrefixes) {
  const std::string program = dir_.MakeDir("dir with spaces") + "/argv recorder";
  std::filesystem::copy_file(QS_ARGV_RECORDER, program);
  ASSERT_EQ(StartCommandLine("\"" + program + "\" /ADDRAR:\"" + dir_.Path("a b.rar") + "\""),
            kErrorSuccess);
  EXPECT_EQ(TakeRecord(), (Args{"/ADDRAR:" + dir_.Path("a b.rar")}));
  // Decoys on the way: a folder and a file that is not executable.
  dir_.MakeDir("dir");
  dir_.WriteFile("dir with", "not a program");
  ASSERT_EQ(StartCommandLine("  " + program + " first \"second arg\" third"), kErrorSuccess);
  EXPECT_EQ(TakeRecord(), (Args{"first", "second arg", "third"}));
  ASSERT_EQ(StartCommandLine(program), kErrorSuccess);  // the whole text is the last candidate
  EXPECT_EQ(TakeRecord(), Args{});
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
  EXPECT_FALSE(test::Exists(dir_.Path("pwned")));
  EXPECT_FALSE(test::Exists(record_));
}

// A program started with SIGIO ignored would keep ignoring it after exec; the recorder is started
// from a process that ignores it, and must come up with the default and with no input.
TEST_F(StartTest, ProgramGetsNullInputAndDefaultSignals) {
  const std::string script =
      dir_.WriteFile("probe", "#!/bin/sh\nexec " + std::string(QS_ARGV_RECORDER) +
                                  " \"$(grep SigIgn /proc/self/status)\" \"$(head -c 5)\"\n");
  ASSERT_EQ(::chmod(script.c_str(), 0755), 0);
  ::signal(SIGIO, SIG_IGN);
  ASSERT_EQ(StartArguments({script}), kErrorSuccess);
  const Args got = TakeRecord();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[1], "");
  // SIGIO is signal 29: bit 28 of the ignored mask must be clear.
  const std::string mask = got[0].substr(got[0].find_last_of(" \t") + 1);
  EXPECT_EQ(std::strtoull(mask.c_str(), nullptr, 16) & (1ull << 28), 0u) << got[0];
}

}  // namespace
}  // namespace qs
