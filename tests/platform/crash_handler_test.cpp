// The crash reporter: a fatal signal leaves a report in the data folder, unless the callback
// declines, and the process still ends by that signal.
#include "platform/crash_handler.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

TEST(CrashHandler, AFatalSignalLeavesAReportUnlessDeclinedAndStillEndsTheProcess) {
  test::TempDir temp;
  for (const bool report : {true, false}) {
    SCOPED_TRACE(report);
    const std::string home = temp.MakeDir(report ? "yes" : "no");
    test::ChildProcess child([&home, report] {
      ::setenv("XDG_DATA_HOME", home.c_str(), 1);
      CrashHandler::Install(
          report ? +[](CrashHandler*) { return true; } : +[](CrashHandler*) { return false; },
          "nobody", "Quarrystream CrashReport");
      std::raise(SIGABRT);
      return 0;
    });
    EXPECT_EQ(child.Wait(), 128 + SIGABRT);
    std::string text;
    int reports = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(home + "/Quarrystream", error)) {
      text = test::ReadFile(entry.path().string());
      ++reports;
    }
    EXPECT_EQ(reports, report ? 1 : 0);
    if (report) {
      EXPECT_NE(text.find("Quarrystream CrashReport"), std::string::npos) << text;
      EXPECT_NE(text.find("(SIGABRT)"), std::string::npos) << text;
    }
  }
}

}  // namespace
}  // namespace qs
