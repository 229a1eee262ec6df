// One instance per user: later starts of the real program hand their command line to a main
// window over the socket and wait for it; SIGTERM and SIGINT end it without asking. (Leftovers
// of a killed instance are the single-instance tests'.)
#include <signal.h>

#include <thread>

#include <QEventLoop>

#include "app/hidden_window.h"
#include "tests/app/desktop_test_support.h"
#include "tests/app/program.h"

namespace qs::test {
namespace {

class InstanceTest : public DesktopTest {
 protected:
  // The program on the profile `profile`, with this test's runtime folder and nothing of the
  // user's own folders.
  Program Start(const std::string& profile, std::vector<std::string> arguments,
                std::vector<std::string> environment = {}) {
    arguments.insert(arguments.begin(), {QS_QUARRYSTREAM, "--profile", dir_.Path(profile)});
    environment.insert(environment.begin(),
                       {"XDG_RUNTIME_DIR=" + RuntimeDir(), "XDG_DATA_HOME=" + dir_.Path("data"),
                        "XDG_CONFIG_HOME=" + dir_.Path("config"), "HOME=" + dir_.Path("home"),
                        "QT_QPA_PLATFORM=offscreen", "QUARRYSTREAM_PROFILE="});
    return Program(arguments, environment);
  }
};

// The later start waits for the window here, so this process's event loop runs meanwhile.
TEST_F(InstanceTest, ASecondStartAddsAQuotedPathWithBlanks) {
  auto window = MakeWindow();
  window->Initialise();
  ASSERT_TRUE(window->Door()->Exists());
  const std::string source = dir_.Path("My Files");
  dialogs_.directories = {"/out/mine"};

  Program second = Start("second", {"/ADDDIR:\"" + source + "\""});
  QEventLoop loop;
  int status = -1;
  std::thread waiter([&] {
    status = second.Finish();
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  waiter.join();
  EXPECT_EQ(status, 0) << second.output;
  EXPECT_EQ(dialogs_.prompts, std::vector<std::string>{std::string(kDestinationPrompt)});
  EXPECT_EQ(ReadDirs(), "1\r\n" + source + "\r\n/out/mine\r\n");
  // The second start kept to itself: it made no files of its own profile.
  EXPECT_FALSE(Exists(dir_.Path("second/dirs.cfg")));
}

// SIGTERM (as SIGINT) ends the program without the quit question, also with the folder chooser
// open (the signal, blocked from the start, is handled in that dialog's own loop), which is
// closed without acting: dirs.cfg is saved whole, the field goes to PostExecution, status 0.
TEST_F(InstanceTest, SigtermEndsWithoutAskingAndSavesTheList) {
  dir_.WriteFile("first/dirs.cfg", "0\n" + dir_.MakeDir("in") + "\n/out\n");
  dir_.WriteFile("first/Mirrowen.conf", "[Settings]\nReScan=600\n");
  Program first = Start("first", {"/ADDDIR:/in/new"});
  ASSERT_EQ(first.Signal(SIGTERM), 0);
  EXPECT_EQ(first.Finish(), 0) << first.output;
  EXPECT_EQ(ReadFile(dir_.Path("first/dirs.cfg")), "0\r\n" + dir_.Path("in") + "\r\n/out\r\n");
  EXPECT_NE(ReadFile(dir_.Path("first/Mirrowen.conf")).find("PostExecution="), std::string::npos);
  // It took the lock and opened its door while it ran, and cleaned the door up on the way out.
  EXPECT_TRUE(Exists(LockPath()));
  EXPECT_FALSE(Exists(ChannelPath()));
}

}  // namespace
}  // namespace qs::test
