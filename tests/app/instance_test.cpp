// One instance per user: later starts of the real program hand their command line to a main
// window over the socket and wait for it; SIGTERM and SIGINT end it without asking; no display
// gives one line and status 2. (Leftovers of a killed instance are the single-instance tests'.)
#include <signal.h>

#include <QEventLoop>
#include <QProcess>

#include "app/hidden_window.h"
#include "app/quarrystream_app.h"
#include "platform/instance_channel.h"
#include "scan/scan_controller.h"
#include "tests/app/desktop_test_support.h"

namespace qs::test {
namespace {

class InstanceTest : public DesktopTest {
 protected:
  // The environment of a started program: this test's runtime folder, and nothing of the
  // user's own folders.
  QProcessEnvironment ChildEnvironment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(RuntimeDir()));
    env.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString(dir_.Path("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir_.Path("config")));
    env.insert(QStringLiteral("HOME"), QString::fromStdString(dir_.Path("home")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("QUARRYSTREAM_PROFILE"));
    return env;
  }

  // Starts the program with `arguments` and runs this process's event loop (so the window
  // here can answer) until it ends. Returns its exit status.
  int RunSecondStart(const QStringList& arguments) {
    QProcess process;
    process.setProcessEnvironment(ChildEnvironment());
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    process.start(
        QStringLiteral(QS_QUARRYSTREAM),
        QStringList{QStringLiteral("--profile"), QString::fromStdString(dir_.Path("second"))} +
            arguments);
    loop.exec();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
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

  EXPECT_EQ(RunSecondStart({QString::fromStdString("/ADDDIR:\"" + source + "\"")}), 0);
  EXPECT_TRUE(window_answered_first);
  EXPECT_EQ(dialogs_.prompts, std::vector<std::string>{std::string(kDestinationPrompt)});
  EXPECT_EQ(ReadDirs(), "1\r\n" + source + "\r\n/out/mine\r\n");
  // The second start kept to itself: it made no files of its own profile.
  EXPECT_FALSE(test::Exists(dir_.Path("second/dirs.cfg")));
}

// With no arguments a later start tells the running instance nothing: it would otherwise wait
// here for an answer that never comes, as nobody accepts on this socket.
TEST_F(InstanceTest, ASecondStartWithoutArgumentsEndsSilently) {
  ASSERT_TRUE(lock_.TryAcquire());
  InstanceServer server;
  ASSERT_TRUE(server.Listen(ChannelPath()));
  QProcess process;
  process.setProcessEnvironment(ChildEnvironment());
  process.start(QStringLiteral(QS_QUARRYSTREAM),
                {QStringLiteral("--profile"), QString::fromStdString(dir_.Path("second"))});
  ASSERT_TRUE(process.waitForFinished(-1));
  EXPECT_EQ(process.exitCode(), 0);
  EXPECT_TRUE(process.readAllStandardError().isEmpty());
  std::string message;
  PendingReply reply;
  EXPECT_FALSE(server.AcceptOne(message, reply));
}

TEST_F(InstanceTest, NoListeningInstanceIsReported) {
  ScriptedDialogs messages;
  EXPECT_EQ(HandleSecondInstance("/ADDDIR:/in", ChannelPath(), messages),
            SecondInstanceResult::kNotFound);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "Error could not find mainwnd and mutex is set :S");
  EXPECT_EQ(messages.shown[0].caption, "Mirrowen");
  EXPECT_EQ(HandleSecondInstance("", ChannelPath(), messages),
            SecondInstanceResult::kNothingToSend);
  EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(InstanceTest, ASocketThatCannotBeMadeIsReported) {
  HiddenWindow door({}, dialogs_);
  // Longer than a socket address holds.
  EXPECT_FALSE(door.Create(dir_.Path(std::string(200, 'x'))));
  ASSERT_EQ(dialogs_.shown.size(), 1u);
  EXPECT_EQ(dialogs_.shown[0].text, "Critical error on making the Mirrowen hidden window!");
  EXPECT_FALSE(door.Exists());
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
  QStringList arguments = {QStringLiteral("--profile"), QString::fromStdString(dir_.Path("first"))};
  arguments << QString::fromLatin1(GetParam().command);
  QProcess process;
  process.setProcessEnvironment(ChildEnvironment());
  // Blocked from the program's first instruction, a signal sent at once waits for the program's
  // own handling instead of killing it half-started.
  process.setChildProcessModifier([] {
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
  });
  process.start(QStringLiteral(QS_QUARRYSTREAM), arguments);
  ASSERT_TRUE(process.waitForStarted());
  ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), GetParam().signal), 0);
  ASSERT_TRUE(process.waitForFinished(10000)) << "still running 10 s after the signal";
  const std::string output = process.readAll().toStdString();
  ASSERT_EQ(process.exitStatus(), QProcess::NormalExit) << output;
  EXPECT_EQ(process.exitCode(), 0) << output;
  EXPECT_EQ(ReadFile(dir_.Path("first/dirs.cfg")), "0\r\n" + dir_.Path("in") + "\r\n/out\r\n");
  EXPECT_NE(ReadFile(dir_.Path("first/Mirrowen.conf")).find("PostExecution="), std::string::npos);
  // It took the lock and opened its door while it ran, and cleaned the door up on the way out.
  EXPECT_TRUE(test::Exists(LockPath()));
  EXPECT_FALSE(test::Exists(ChannelPath()));
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalTest,
                         ::testing::Values(SignalCase{"Sigterm", SIGTERM, ""},
                                           SignalCase{"SigtermInMessageBox", SIGTERM, "/ADDDIR:"},
                                           SignalCase{"SigintInChooser", SIGINT,
                                                      "/ADDDIR:/in/new"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct NoDisplayCase {
  const char* name;
  const char* display;  // null: unset
};

class NoDisplayTest : public InstanceTest, public ::testing::WithParamInterface<NoDisplayCase> {};

TEST_P(NoDisplayTest, SaysSoInOneLineAndExitsTwo) {
  QProcessEnvironment env = ChildEnvironment();
  env.remove(QStringLiteral("QT_QPA_PLATFORM"));
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  env.remove(QStringLiteral("DISPLAY"));
  if (GetParam().display != nullptr) {
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(GetParam().display));
  }
  QProcess process;
  process.setProcessEnvironment(env);
  process.start(QStringLiteral(QS_QUARRYSTREAM),
                {QStringLiteral("--profile"), QString::fromStdString(dir_.Path("p"))});
  ASSERT_TRUE(process.waitForFinished(-1));
  EXPECT_EQ(process.exitCode(), 2);
  const QString error = QString::fromUtf8(process.readAllStandardError());
  EXPECT_EQ(error.count(QLatin1Char('\n')), 1) << error.toStdString();
  EXPECT_TRUE(error.contains(QStringLiteral("--headless"))) << error.toStdString();
  EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
  EXPECT_FALSE(test::Exists(dir_.Path("p/dirs.cfg")));
}

INSTANTIATE_TEST_SUITE_P(Displays, NoDisplayTest,
                         ::testing::Values(NoDisplayCase{"Unset", nullptr},
                                           NoDisplayCase{"NoServer", ":9731"},
                                           NoDisplayCase{"Malformed", "nonsense"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qs::test
