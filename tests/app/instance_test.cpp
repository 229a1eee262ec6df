// One instance per user: later starts of the real program hand their command line to a main
// window over the socket and wait for it; SIGTERM acts as the close message; no display gives
// one line and status 2. (Leftovers of a killed instance are the single-instance tests'.)
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QEventLoop>
#include <QProcess>

#include "app/hidden_window.h"
#include "app/quarrystream_app.h"
#include "platform/instance_channel.h"
#include "scan/scan_controller.h"
#include "tests/app/desktop_test_support.h"

extern char** environ;

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

struct Spawned {
  pid_t pid = -1;
  int output = -1;
};

// Starts the program with SIGTERM blocked from its very first instruction, so that a signal
// sent at once waits for the program's own handling instead of killing it half-started.
Spawned SpawnWithTermBlocked(const std::vector<std::string>& arguments,
                             const QProcessEnvironment& environment) {
  std::vector<std::string> env_strings;
  for (const QString& entry : environment.toStringList()) {
    env_strings.push_back(entry.toStdString());
  }
  std::vector<char*> envp;
  for (std::string& entry : env_strings) {
    envp.push_back(entry.data());
  }
  envp.push_back(nullptr);
  std::vector<char*> argv;
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) {
    return {};
  }
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t blocked;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGTERM);
  posix_spawnattr_setsigmask(&attributes, &blocked);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDERR_FILENO);
  Spawned child;
  if (posix_spawn(&child.pid, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0) {
    child.pid = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(pipe_fds[1]);
  child.output = pipe_fds[0];
  return child;
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t n = 0;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return text;
}

// SIGTERM is the close message: with ConfirmationLevel 0 the program runs its exit sequence
// (dirs.cfg saved, the field written to PostExecution) and ends with status 0.
TEST_F(InstanceTest, SigtermActsAsTheCloseMessage) {
  dir_.WriteFile("first/dirs.cfg", "0\n" + dir_.MakeDir("in") + "\n/out\n");
  dir_.WriteFile("first/Mirrowen.conf", "[Settings]\nConfirmationLevel=0\nReScan=600\n");
  const Spawned child =
      SpawnWithTermBlocked({QS_QUARRYSTREAM, "--profile", dir_.Path("first")}, ChildEnvironment());
  ASSERT_GT(child.pid, 0);
  ASSERT_EQ(::kill(child.pid, SIGTERM), 0);
  const std::string output = ReadAll(child.output);
  int status = 0;
  ASSERT_EQ(::waitpid(child.pid, &status, 0), child.pid);
  ASSERT_TRUE(WIFEXITED(status)) << output;
  EXPECT_EQ(WEXITSTATUS(status), 0) << output;
  EXPECT_EQ(ReadFile(dir_.Path("first/dirs.cfg")), "0\r\n" + dir_.Path("in") + "\r\n/out\r\n");
  EXPECT_NE(ReadFile(dir_.Path("first/Mirrowen.conf")).find("PostExecution="), std::string::npos);
  // It took the lock and opened its door while it ran, and cleaned the door up on the way out.
  EXPECT_TRUE(test::Exists(LockPath()));
  EXPECT_FALSE(test::Exists(ChannelPath()));
}

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
