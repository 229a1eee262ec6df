#include "companion/unar_engine.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

extern char** environ;

namespace qs {

namespace {

std::string LastLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::string last;
  while (std::getline(in, line)) {
    if (line.find_first_not_of(" \t\r") != std::string::npos) {
      last = line;
    }
  }
  return last;
}

}  // namespace

UnarResult ExtractWithUnar(const std::string& first_volume, const std::string& directory,
                           const std::string& log_file, const std::string& program) {
  UnarResult result;
  std::error_code ec;
  // Absolute, so that no name of a download is ever read as one of unar's options.
  const std::string volume = std::filesystem::absolute(first_volume, ec).string();
  // -D: no folder of its own around the entries; -nr: archives inside stay archives;
  // -k skip: no Mac resource forks; -f: the folder is empty and ours, no questions.
  std::vector<std::string> args{program, "-q",   "-D", "-nr",     "-f",
                                "-k",    "skip", "-o", directory, volume};
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // Nobody can answer a password question: stdin is empty.
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log_file.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    result.installed = false;
    result.error = "cannot start " + program + ": " +
                   std::error_code(spawned, std::generic_category()).message();
    return result;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
    result.installed = false;  // posix_spawnp reports a missing program this way too
  }
  if (!result.succeeded) {
    const std::string last = LastLine(log_file);
    result.error = program + " failed" + (last.empty() ? std::string() : ": " + last);
  }
  return result;
}

}  // namespace qs
