// The program under test started as a child process, its standard output and error read
// together through one pipe, its environment this process's with changes.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace qs::test {

struct Child {
  pid_t pid = -1;
  int out = -1;
};

struct Finished {
  int status = -1;  // the exit status; -1 when it did not exit normally
  std::string output;
};

struct ChildOptions {
  std::vector<std::string> environment;  // "NAME=value" sets NAME, "NAME" removes it
  std::string folder;                    // the working folder; empty: this process's
  // SIGTERM and SIGINT blocked from the child's first instruction, so that one sent at once
  // waits for the program's own handling instead of killing it half-started.
  bool block_quit_signals = false;
};

Child Spawn(const std::vector<std::string>& arguments, const ChildOptions& options = {});
// Reads the child's output until `marker` has appeared or the output ends.
std::string ReadUntil(int fd, std::string_view marker);
// Reads the rest of the output and reaps the child.
Finished Wait(Child child);

}  // namespace qs::test
