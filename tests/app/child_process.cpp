#include "tests/app/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qs::test {

Child Spawn(const std::vector<std::string>& arguments, const ChildOptions& options) {
  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e)
    environment.emplace_back(*e);
  for (const std::string& change : options.environment) {
    const std::string name = change.substr(0, change.find('=')) + '=';
    std::erase_if(environment, [&](const std::string& e) { return e.starts_with(name); });
    if (change.find('=') != std::string::npos)
      environment.push_back(change);
  }
  std::vector<char*> argv;
  std::vector<char*> envp;
  for (const auto& a : arguments)
    argv.push_back(const_cast<char*>(a.c_str()));
  for (auto& e : environment)
    envp.push_back(e.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);

  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0)
    return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDERR_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (!options.folder.empty())
    posix_spawn_file_actions_addchdir_np(&actions, options.folder.c_str());
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  if (options.block_quit_signals) {
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    posix_spawnattr_setsigmask(&attributes, &blocked);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  }
  Child child;
  if (posix_spawn(&child.pid, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0)
    child.pid = -1;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  child.out = pipe_fds[0];
  return child;
}

std::string ReadUntil(int fd, std::string_view marker) {
  std::string text;
  char buffer[4096];
  while (marker.empty() || text.find(marker) == std::string::npos) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0)
      break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text;
}

Finished Wait(Child child) {
  Finished result;
  result.output = ReadUntil(child.out, {});
  close(child.out);
  int status = 0;
  if (child.pid > 0 && waitpid(child.pid, &status, 0) == child.pid && WIFEXITED(status))
    result.status = WEXITSTATUS(status);
  return result;
}

}  // namespace qs::test
