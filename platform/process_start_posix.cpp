#include "platform/command_line.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>

extern char** environ;

namespace qs {

namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

// Everything the spawn needs, built before the vfork: after it only async-signal-safe calls run
// in the child, which shares the memory of a possibly multi-threaded process.
class SpawnPlan {
 public:
  explicit SpawnPlan(const std::vector<std::string>& arguments) : arguments_(arguments) {
    for (auto& argument : arguments_) {
      argv_.push_back(argument.data());
    }
    argv_.push_back(nullptr);
    ::posix_spawn_file_actions_init(&actions_);
    ::posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Descriptors someone opened without O_CLOEXEC stay ours.
    ::posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1);
#endif
    ::posix_spawnattr_init(&attributes_);
    // Its own session, and none of our signal settings (SIGIO is ignored here).
    sigset_t none;
    sigset_t all;
    ::sigemptyset(&none);
    ::sigfillset(&all);
    ::posix_spawnattr_setsigmask(&attributes_, &none);
    ::posix_spawnattr_setsigdefault(&attributes_, &all);
    ::posix_spawnattr_setflags(&attributes_,
                               POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  }
  ~SpawnPlan() {
    ::posix_spawn_file_actions_destroy(&actions_);
    ::posix_spawnattr_destroy(&attributes_);
  }
  SpawnPlan(const SpawnPlan&) = delete;
  SpawnPlan& operator=(const SpawnPlan&) = delete;

  int Spawn() const {
    pid_t pid = 0;
    return ::posix_spawn(&pid, argv_[0], &actions_, &attributes_, argv_.data(), environ);
  }

 private:
  std::vector<std::string> arguments_;
  std::vector<char*> argv_;
  posix_spawn_file_actions_t actions_{};
  posix_spawnattr_t attributes_{};
};

}  // namespace

SystemError StartArguments(const std::vector<std::string>& arguments) {
  // A detached child's failing exec would go unseen, so the program is checked first.
  if (arguments.empty() || !IsExecutableFile(arguments.front())) {
    return kErrorFileNotFound;
  }
  const SpawnPlan plan(arguments);
  // A short-lived intermediate starts the program and exits at once: the program is then
  // adopted by init, never waited for and never left a zombie of ours. The intermediate's exit
  // status carries posix_spawn's answer, which includes a failed exec. It is a vfork child:
  // copying this process's memory for it, as fork does, cost 3-6 ms a start, more than the
  // checksums of a small set. It only calls posix_spawn (which makes system calls on a stack
  // of its own) and _exit, with every signal blocked so that no handler of ours runs in it.
  sigset_t all;
  sigset_t previous;
  ::sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &previous);
  const pid_t intermediate = ::vfork();
  if (intermediate == 0) {
    ::_exit(plan.Spawn() == 0 ? 0 : 1);
  }
  const int vfork_error = errno;
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (intermediate < 0) {
    return SystemErrorFromErrno(vfork_error);
  }
  int status = 0;
  pid_t waited = 0;
  do {
    waited = ::waitpid(intermediate, &status, 0);
  } while (waited < 0 && errno == EINTR);
  if (waited != intermediate || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return kErrorFileNotFound;
  }
  return kErrorSuccess;
}

std::vector<std::string> ResolveCommandLine(
    std::string_view text, const std::function<bool(const std::string&)>& is_executable) {
  // As CreateProcess, blanks before the program name are skipped.
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  if (text.empty()) {
    return {};
  }
  if (text.front() == '"') {
    return SplitCommandLine(text);
  }
  // An unquoted name that may contain blanks: each text up to a blank is a candidate, then the
  // whole text ("/opt/my tools/run x" tries "/opt/my", "/opt/my tools/run", ...). The first
  // executable file wins and the rest are its arguments. No file has a path of PATH_MAX bytes
  // or more, so a long text costs no more than a short one.
  const std::size_t longest = std::min<std::size_t>(text.size(), PATH_MAX - 1);
  for (std::size_t end = 0; end <= longest; ++end) {
    if (end < text.size() && text[end] != ' ' && text[end] != '\t') {
      continue;
    }
    std::string candidate(text.substr(0, end));
    if (!is_executable(candidate)) {
      continue;
    }
    std::vector<std::string> arguments{std::move(candidate)};
    for (auto& argument : SplitArguments(text.substr(end))) {
      arguments.push_back(std::move(argument));
    }
    return arguments;
  }
  return {};
}

SystemError StartCommandLine(std::string_view text) {
  const std::vector<std::string> arguments = ResolveCommandLine(text, IsExecutableFile);
  return arguments.empty() ? kErrorFileNotFound : StartArguments(arguments);
}

bool IsExecutableProgram(const std::string& path) {
  return IsExecutableFile(path);
}

std::string StartFailureReason(const std::string& program) {
  struct stat info {};
  if (program.empty() || ::stat(program.c_str(), &info) != 0) {
    return "no such file";
  }
  if (!S_ISREG(info.st_mode) || ::access(program.c_str(), X_OK) != 0) {
    return "not an executable file";
  }
  return "the system refused to start it";
}

}  // namespace qs
