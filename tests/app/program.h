// The real program as a child process of a test (the kit's ChildProcess), with its pid: it is
// the first line of the child's output, written before the program replaces the child.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace qs::test {

class Program {
 public:
  // `env` as for ChildProcess: "NAME=value" sets, "NAME=" removes. SIGTERM and SIGINT are
  // blocked from the first instruction, so that one sent at once waits for the program's own
  // handling (it blocks them itself and reads them in its loop).
  Program(const std::vector<std::string>& argv, const std::vector<std::string>& env)
      : child_([&] {
          for (const std::string& variable : env) {
            const std::string name = variable.substr(0, variable.find('='));
            const std::string value = variable.substr(name.size() + 1);
            value.empty() ? ::unsetenv(name.c_str()) : ::setenv(name.c_str(), value.c_str(), 1);
          }
          sigset_t quit;
          sigemptyset(&quit);
          sigaddset(&quit, SIGTERM);
          sigaddset(&quit, SIGINT);
          sigprocmask(SIG_BLOCK, &quit, nullptr);
          std::printf("%d\n", static_cast<int>(::getpid()));
          std::fflush(stdout);
          std::vector<char*> args;
          for (const std::string& argument : argv) {
            args.push_back(const_cast<char*>(argument.c_str()));
          }
          args.push_back(nullptr);
          ::execv(args[0], args.data());
          return 127;
        }) {
    ReadUntil("\n");
    pid = std::atoi(output.c_str());
    output.erase(0, output.find('\n') + 1);
  }

  // Reads until `marker` is in the output (true) or the output ends (false).
  bool ReadUntil(const std::string& marker) {
    while (output.find(marker) == std::string::npos) {
      const std::string part = child_.Read();
      if (part.empty()) {
        return false;
      }
      output += part;
    }
    return true;
  }
  // The rest of the output, then the exit status.
  int Finish() {
    output += child_.ReadAll();
    return child_.Wait();
  }
  int Signal(int signal) { return ::kill(pid, signal); }

  int pid = -1;
  std::string output;  // read so far, the pid's line excluded

 private:
  ChildProcess child_;
};

}  // namespace qs::test
