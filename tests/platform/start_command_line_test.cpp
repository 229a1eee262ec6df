#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

using Args = std::vector<std::string>;

// An unquoted program path with blanks is found by its prefixes, the first executable one
// winning; a quoted one is taken as it is.
TEST(ResolveCommandLine, TriesEachPrefixEndingAtABlankThenTheWholeText) {
  const std::set<std::string> executable = {"/opt/my tools/run", "/opt/my tools/run x/y", "/b"};
  const auto is_executable = [&](const std::string& path) { return executable.count(path) != 0; };
  const std::pair<std::string, Args> cases[] = {
      {"  /opt/my tools/run x/y \"a b\"", {"/opt/my tools/run", "x/y", "a b"}},
      {"/opt/my tools/run", {"/opt/my tools/run"}},
      {"\"/opt/my tools/run x/y\" z", {"/opt/my tools/run x/y", "z"}},
      {"\"/opt/my\" tools/run", {"/opt/my", "tools/run"}},  // not looked at
      {"/b\tc", {"/b", "c"}},
      {"/opt/my", {}},
      {"   ", {}}};
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(ResolveCommandLine(text, is_executable), expected) << text;
  }
}

TEST(StartCommandLine, ArgumentsArriveLiterallyWithoutAShellAndNothingIsLeftAsAChild) {
  test::TempDir dir;
  const std::string record = dir.Path("record");
  ::setenv("QS_ARGV_RECORD", record.c_str(), 1);
  const std::string pwned = dir.Path("pwned");
  const std::string program = dir.MakeDir("dir with spaces") + "/argv recorder";
  std::filesystem::copy_file(QS_ARGV_RECORDER, program);
  ASSERT_EQ(StartCommandLine(program + " \"with spaces\" \"$(touch " + pwned + ")\" `touch " +
                             pwned + "` ;touch " + pwned + R"( a\\"b c" "q\"uote" "" 'single')"),
            kErrorSuccess);
  const std::vector<Args> records = test::ArgvRecords(record, 1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0], (Args{"with spaces", "$(touch " + pwned + ")", "`touch", pwned + "`",
                              ";touch", pwned, R"(a\b c)", R"(q"uote)", "", "'single'"}));
  EXPECT_FALSE(test::Exists(pwned));

  dir.MakeDir("folder");
  const std::string not_executable = dir.WriteFile("script", "#!/bin/sh\n");
  const std::string texts[] = {dir.Path("missing") + " arg", dir.Path("folder"),
                               not_executable + " x",
                               // No shell and no PATH search.
                               "sh -c 'touch " + pwned + "'", "argv_recorder"};
  for (const auto& text : texts) {
    EXPECT_EQ(StartCommandLine(text), kErrorFileNotFound) << text;
  }
  EXPECT_EQ(test::ArgvRecords(record).size(), 1u);
  ::unsetenv("QS_ARGV_RECORD");
  // Nothing we started is left as a child of ours: not the intermediate, not the program.
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

}  // namespace
}  // namespace qs
