// The crash reporter: a fatal signal leaves a report (subject, signal, backtrace) in the data
// folder and still ends the process by that signal.
#include "platform/crash_handler.h"

#include <sys/mman.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/platform/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

using test::ReadFile;
using test::TempDir;

constexpr char kSubject[] = "Quarrystream CrashReport v0, 1, 1, 137";

bool Report(CrashHandler*) {
  return true;
}
bool NoReport(CrashHandler*) {
  return false;
}

std::vector<std::string> Reports(const std::string& data_home) {
  std::vector<std::string> reports;
  std::error_code error;
  for (const auto& entry :
       std::filesystem::directory_iterator(data_home + "/Quarrystream", error)) {
    reports.push_back(ReadFile(entry.path().string()));
  }
  return reports;
}

struct CrashCase {
  const char* name;
  int signal;
  const char* line;  // null: the callback answers false, and no report is written
};

constexpr char kDataVariable[] = "QS_TEST_CRASH_DATA_HOME";

// The death test's child runs this program again from the start, test body included: the data
// folder is handed down through the environment, so that parent and child agree on it, and only
// the parent makes (and removes) a sandbox.
class DataHome {
 public:
  DataHome() {
    if (const char* inherited = std::getenv(kDataVariable)) {
      path_ = inherited;
      return;
    }
    sandbox_ = std::make_unique<TempDir>();
    path_ = sandbox_->Path("data");
    ::setenv(kDataVariable, path_.c_str(), 1);
  }
  ~DataHome() {
    if (sandbox_ != nullptr) {
      ::unsetenv(kDataVariable);
    }
  }
  const std::string& path() const { return path_; }

 private:
  std::unique_ptr<TempDir> sandbox_;
  std::string path_;
};

class CrashHandlerTest : public ::testing::TestWithParam<CrashCase> {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
  DataHome data_;
};

// The crash happens in a child that runs only the statement below (the death test re-runs
// this program), so that the handler is never installed in the test process itself.
void InstallAndCrash(const std::string& data_home, CrashCallback callback, int signal_number) {
  ::setenv("XDG_DATA_HOME", data_home.c_str(), 1);
  CrashHandler* handler = CrashHandler::Install(callback, "", kSubject);
  if (handler == nullptr || std::string(handler->subject()) != kSubject) {
    std::_Exit(3);
  }
  if (signal_number == SIGSEGV) {
    // A real fault, not a raised signal: a store to a page that allows no access (which the
    // sanitizers leave to the hardware, unlike a store through a null pointer).
    void* page = ::mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (page != MAP_FAILED) {
      *static_cast<volatile int*>(page) = 1;
    }
  } else if (signal_number == SIGABRT) {
    std::abort();
  }
  std::raise(signal_number);
  std::_Exit(4);
}

TEST_P(CrashHandlerTest, WritesAReportAndEndsByTheSignal) {
  const std::string& data_home = data_.path();
  const bool reported = GetParam().line != nullptr;
  EXPECT_EXIT(InstallAndCrash(data_home, reported ? Report : NoReport, GetParam().signal),
              ::testing::KilledBySignal(GetParam().signal),
              reported ? "crash report written to" : "");
  const std::vector<std::string> reports = Reports(data_home);
  ASSERT_EQ(reports.size(), reported ? 1u : 0u);
  if (!reported)
    return;
  const std::string& report = reports[0];
  EXPECT_EQ(report.rfind(std::string("Subject: ") + kSubject + "\n", 0), 0u) << report;
  EXPECT_NE(report.find(GetParam().line), std::string::npos) << report;
  const std::size_t backtrace = report.find("Backtrace:\n");
  ASSERT_NE(backtrace, std::string::npos);
  EXPECT_GT(report.size(), backtrace + 12) << "the backtrace has frames";
}

INSTANTIATE_TEST_SUITE_P(Signals, CrashHandlerTest,
                         ::testing::Values(CrashCase{"Segv", SIGSEGV, "Signal: 11 (SIGSEGV)\n"},
                                           CrashCase{"Abort", SIGABRT, "Signal: 6 (SIGABRT)\n"},
                                           CrashCase{"Fpe", SIGFPE, "Signal: 8 (SIGFPE)\n"},
                                           CrashCase{"Bus", SIGBUS, "Signal: 7 (SIGBUS)\n"},
                                           CrashCase{"CallbackSaysNo", SIGSEGV, nullptr}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CrashHandlerCallbackTest, ReportsGoToTheUsersDataFolder) {
  test::ScopedEnv data("XDG_DATA_HOME", "/data/home");
  EXPECT_EQ(CrashHandler::ReportDirectory(), "/data/home/Quarrystream");
  data.Set("relative");  // not absolute: ignored, as the XDG rules say
  const char* home = std::getenv("HOME");
  EXPECT_EQ(CrashHandler::ReportDirectory(),
            std::string(home != nullptr ? home : "") + "/.local/share/Quarrystream");
}

}  // namespace
}  // namespace qs
