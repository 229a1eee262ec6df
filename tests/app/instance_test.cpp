// One instance per user: later starts of the real program hand their command line to a main
// window over the socket and wait for it; SIGTERM and SIGINT end it without asking; no display
// gives one line and status 2. (Leftovers of a killed instance are the single-instance tests'.)
#include <signal.h>

#include <QEventLoop>
#include <QSocketNotifier>

#include "app/hidden_window.h"
#include "app/quarrystream_app.h"
#include "platform/instance_channel.h"
#include "tests/app/child_process.h"
#include "tests/app/desktop_test_support.h"

namespace qs::test {
namespace {

class InstanceTest : public DesktopTest {
 protected:
  // The program on the profile `profile`, with this test's runtime folder and nothing of the
  // user's own folders.
  Child Start(const std::string& profile, std::vector<std::string> arguments,
              std::vector<std::string> environment = {}, bool block_quit_signals = false) {
    arguments.insert(arguments.begin(), {QS_QUARRYSTREAM, "--profile", dir_.Path(profile)});
    environment.insert(environment.begin(),
                       {"XDG_RUNTIME_DIR=" + RuntimeDir(), "XDG_DATA_HOME=" + dir_.Path("data"),
                        "XDG_CONFIG_HOME=" + dir_.Path("config"), "HOME=" + dir_.Path("home"),
                        "QT_QPA_PLATFORM=offscreen", "QUARRYSTREAM_PROFILE"});
    return Spawn(arguments, {environment, {}, block_quit_signals});
  }

  // A later start with `arguments`, while this process's event loop runs (so that the window
  // here can answer) until the start's output ends with it.
  Finished RunSecondStart(std::vector<std::string> arguments) {
    const Child child = Start("second", std::move(arguments));
    QSocketNotifier output(child.out, QSocketNotifier::Read);
    QEventLoop loop;
    std::string said;
    QObject::connect(&output, &QSocketNotifier::activated, &loop, [&] {
      char buffer[4096];
      const ssize_t n = ::read(child.out, buffer, sizeof buffer);
      if (n <= 0)
        loop.quit();
      else
        said.append(buffer, static_cast<std::size_t>(n));
    });
    loop.exec();
    output.setEnabled(false);
    Finished finished = Wait(child);
    finished.output.insert(0, said);
    return finished;
  }
};

TEST_F(InstanceTest, ASecondStartAddsAQuotedPathWithBlanks) {
  auto window = MakeWindow();
  window->Initialise();
  ASSERT_TRUE(window->Door()->Exists());
  const std::string source = dir_.Path("My Files");
  dialogs_.directories = {"/out/mine"};
  bool window_answered_first = false;
  dialogs_.on_open = [&] { window_answered_first = true; };

  EXPECT_EQ(RunSecondStart({"/ADDDIR:\"" + source + "\""}).status, 0);
  EXPECT_TRUE(window_answered_first);
  EXPECT_EQ(dialogs_.prompts, std::vector<std::string>{std::string(kDestinationPrompt)});
  EXPECT_EQ(ReadDirs(), "1\r\n" + source + "\r\n/out/mine\r\n");
  // The second start kept to itself: it made no files of its own profile.
  EXPECT_FALSE(Exists(dir_.Path("second/dirs.cfg")));
}

// With no arguments a later start tells the running instance nothing: it would otherwise wait
// here for an answer that never comes, as nobody accepts on this socket.
TEST_F(InstanceTest, ASecondStartWithoutArgumentsEndsSilently) {
  ASSERT_TRUE(lock_.TryAcquire());
  InstanceServer server;
  ASSERT_TRUE(server.Listen(ChannelPath()));
  const Finished second = Wait(Start("second", {}));
  EXPECT_EQ(second.status, 0);
  EXPECT_EQ(second.output, "");
  std::string message;
  PendingReply reply;
  EXPECT_FALSE(server.AcceptOne(message, reply));
}

TEST_F(InstanceTest, NoListeningInstanceOrNoSocketIsReported) {
  EXPECT_EQ(HandleSecondInstance("", ChannelPath(), dialogs_),
            SecondInstanceResult::kNothingToSend);
  EXPECT_EQ(HandleSecondInstance("/ADDDIR:/in", ChannelPath(), dialogs_),
            SecondInstanceResult::kNotFound);
  HiddenWindow door({}, dialogs_);
  EXPECT_FALSE(door.Create(dir_.Path(std::string(200, 'x'))));  // longer than an address holds
  EXPECT_FALSE(door.Exists());
  ASSERT_EQ(dialogs_.shown.size(), 2u);
  EXPECT_EQ(dialogs_.shown[0].text, "Error could not find mainwnd and mutex is set :S");
  EXPECT_EQ(dialogs_.shown[0].caption, "Mirrowen");
  EXPECT_EQ(dialogs_.shown[1].text, "Critical error on making the Mirrowen hidden window!");
}

struct SignalCase {
  const char* name;
  int signal;
  const char* command;  // "/ADDDIR:" shows a message box, "/ADDDIR:/in/new" the folder chooser
};

class SignalTest : public InstanceTest, public ::testing::WithParamInterface<SignalCase> {};

// SIGTERM and SIGINT end the program without the quit question, also with a dialog open (the
// signal, blocked from the start, is handled in that dialog's own loop), which is closed without
// acting: dirs.cfg is saved whole, the field goes to PostExecution, status 0.
TEST_P(SignalTest, EndsWithoutAskingAndSavesTheList) {
  dir_.WriteFile("first/dirs.cfg", "0\n" + dir_.MakeDir("in") + "\n/out\n");
  dir_.WriteFile("first/Mirrowen.conf", "[Settings]\nReScan=600\n");
  std::vector<std::string> arguments;
  if (*GetParam().command != '\0')
    arguments.emplace_back(GetParam().command);
  const Child child = Start("first", arguments, {}, true);
  ASSERT_EQ(::kill(child.pid, GetParam().signal), 0);
  const Finished end = Wait(child);
  EXPECT_EQ(end.status, 0) << end.output;
  EXPECT_EQ(ReadFile(dir_.Path("first/dirs.cfg")), "0\r\n" + dir_.Path("in") + "\r\n/out\r\n");
  EXPECT_NE(ReadFile(dir_.Path("first/Mirrowen.conf")).find("PostExecution="), std::string::npos);
  // It took the lock and opened its door while it ran, and cleaned the door up on the way out.
  EXPECT_TRUE(Exists(LockPath()));
  EXPECT_FALSE(Exists(ChannelPath()));
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalTest,
                         ::testing::Values(SignalCase{"Sigterm", SIGTERM, ""},
                                           SignalCase{"SigtermInMessageBox", SIGTERM, "/ADDDIR:"},
                                           SignalCase{"SigintInChooser", SIGINT,
                                                      "/ADDDIR:/in/new"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(InstanceTest, NoDisplaySaysSoInOneLineAndExitsTwo) {
  for (const char* display : {"DISPLAY", "DISPLAY=:9731", "DISPLAY=nonsense"}) {
    SCOPED_TRACE(display);
    const Finished run =
        Wait(Start("p", {}, {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", std::string(display)}));
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
    EXPECT_NE(run.output.find("--headless"), std::string::npos) << run.output;
    EXPECT_FALSE(Exists(dir_.Path("p/dirs.cfg")));
  }
}

}  // namespace
}  // namespace qs::test
