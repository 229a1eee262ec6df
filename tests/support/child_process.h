// Child processes of a test: a forked function or a started program, with a pipe to its standard
// input and one from its standard output and error, an exit status and a time limit.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace qs::test {

class ChildProcess {
 public:
  // Runs `body` in a forked child, which exits with what it returns.
  explicit ChildProcess(const std::function<int()>& body);
  // Starts the program `argv[0]` (a path) with the test's environment, where each "NAME=value"
  // of `env` replaces any variable of that name and each "NAME=" removes it.
  ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
  ~ChildProcess();  // Kill()
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  // Up to `size` bytes of its output, waiting for the first; empty at the end of the output.
  std::string Read(std::size_t size = 4096);
  std::string ReadAll();
  void CloseInput();
  // Its exit status, 128 + the signal when a signal ended it, -1 when it did not end within
  // `timeout` (it is killed then).
  int Wait(std::chrono::milliseconds timeout = std::chrono::minutes(2));
  void Kill();  // SIGKILL, and waits for it

 private:
  void Start(const std::function<void()>& in_child);

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
};

// Another process that holds `writer`, a descriptor open for writing, as a download still
// being written, until Release(). The caller's own `writer` is closed, so only the child writes.
class ChildWriter {
 public:
  explicit ChildWriter(int writer);
  bool started() const { return child_.started(); }  // false too for a `writer` below 0
  void Release();

 private:
  ChildProcess child_;
};

// The argument lists the argv recorder left in `path`, in order. Programs started detached write
// theirs on their own time: this waits, bounded, until there are at least `at_least`.
std::vector<std::vector<std::string>> ArgvRecords(const std::string& path,
                                                  std::size_t at_least = 0);

}  // namespace qs::test
