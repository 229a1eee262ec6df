#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "tests/support/temp_dir.h"

namespace qs::test {

ChildProcess::ChildProcess(const std::function<int()>& body) {
  if (body) {
    Start([&body] { ::_exit(body()); });
  }
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& env) {
  Start([&] {
    // glibc's fork leaves malloc usable in the child, so the environment may change here.
    for (const std::string& variable : env) {
      const std::string name = variable.substr(0, variable.find('='));
      const std::string value = variable.substr(name.size() + 1);
      value.empty() ? ::unsetenv(name.c_str()) : ::setenv(name.c_str(), value.c_str(), 1);
    }
    std::vector<char*> args;
    for (const std::string& argument : argv) {
      args.push_back(const_cast<char*>(argument.c_str()));
    }
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  });
}

void ChildProcess::Start(const std::function<void()>& in_child) {
  int in[2];
  int out[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
    return;  // a test without pipes fails anyway
  }
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(in[0], STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(out[1], STDERR_FILENO);
    for (const int end : {in[0], in[1], out[0], out[1]}) {
      ::close(end);  // else the child would hold its own input open
    }
    in_child();
  }
  ::close(in[0]);
  ::close(out[1]);
  input_ = in[1];
  output_ = out[0];
}

ChildProcess::~ChildProcess() {
  Kill();
  CloseInput();
  ::close(output_);  // harmless when never opened
}

std::string ChildProcess::Read(std::size_t size) {
  std::string data(size, '\0');
  const ssize_t got = output_ < 0 ? 0 : ::read(output_, data.data(), size);
  data.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return data;
}

std::string ChildProcess::ReadAll() {
  std::string all;
  for (std::string part = Read(); !part.empty(); part = Read()) {
    all += part;
  }
  return all;
}

void ChildProcess::CloseInput() {
  ::close(input_);
  input_ = -1;
}

int ChildProcess::Wait(std::chrono::milliseconds timeout) {
  if (pid_ <= 0) {
    return -1;
  }
  // A pidfd becomes readable when the child ends: no polling of waitpid.
  const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
  if (pidfd >= 0) {
    pollfd ended{pidfd, POLLIN, 0};
    const int ready = ::poll(&ended, 1, static_cast<int>(timeout.count()));
    ::close(pidfd);
    if (ready != 1) {
      Kill();
      return -1;
    }
  }
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void ChildProcess::Kill() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
}

ChildWriter::ChildWriter(int writer)
    : child_(writer < 0 ? std::function<int()>() : [] {
        char ignored;
        while (::read(STDIN_FILENO, &ignored, 1) > 0) {
        }
        return 0;
      }) {
  if (writer >= 0) {
    ::close(writer);
  }
}

void ChildWriter::Release() {
  child_.CloseInput();
  child_.Wait();
}

std::vector<std::vector<std::string>> ArgvRecords(const std::string& path, std::size_t at_least) {
  std::vector<std::vector<std::string>> records;
  for (int tries = 0; tries < 1000; ++tries) {
    // Each argument is NUL-terminated; a newline where the next argument would begin closes a
    // record.
    records.clear();
    std::vector<std::string> current;
    std::string argument;
    for (const char c : ReadFile(path)) {
      if (c == '\0') {
        current.push_back(std::move(argument));
        argument.clear();
      } else if (c == '\n' && argument.empty()) {
        records.push_back(std::move(current));
        current.clear();
      } else {
        argument.push_back(c);
      }
    }
    if (records.size() >= at_least) {
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return records;
}

}  // namespace qs::test
