#include "platform/crash_handler.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace qs {

// The signal handler's view of the private state.
struct CrashHandlerAccess {
  static CrashCallback callback(const CrashHandler& h) { return h.callback_; }
  static const char* recipient(const CrashHandler& h) { return h.recipient_; }
  static void Set(CrashHandler& h, CrashCallback callback, const std::string& recipient,
                  const std::string& subject, const std::string& directory);
};

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGSYS};
constexpr int kMaxFrames = 64;

// The one handler of the process; the kernel's signal delivery gives no other way to reach it.
CrashHandler* g_handler = nullptr;
volatile sig_atomic_t g_in_handler = 0;

void CopyTruncated(char* out, std::size_t size, const std::string& text) {
  const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

// Async-signal-safe output: write(2) and hand-made number formatting only.
class ReportWriter {
 public:
  explicit ReportWriter(int fd) : fd_(fd) {}

  ReportWriter& Text(const char* text) {
    std::size_t length = std::strlen(text);
    while (length > 0) {
      const ssize_t written = ::write(fd_, text, length);
      if (written < 0 && errno == EINTR) {
        continue;
      }
      if (written <= 0) {
        break;
      }
      text += written;
      length -= static_cast<std::size_t>(written);
    }
    return *this;
  }
  ReportWriter& Number(unsigned long long value, unsigned base = 10) {
    char digits[32];
    int at = sizeof digits - 1;
    digits[at] = '\0';
    do {
      digits[--at] = "0123456789abcdef"[value % base];
      value /= base;
    } while (value != 0 && at > 0);
    return Text(digits + at);
  }

 private:
  int fd_;
};

const char* SignalName(int signal_number) {
  switch (signal_number) {
    case SIGSEGV:
      return "SIGSEGV";
    case SIGBUS:
      return "SIGBUS";
    case SIGFPE:
      return "SIGFPE";
    case SIGILL:
      return "SIGILL";
    case SIGABRT:
      return "SIGABRT";
    case SIGSYS:
      return "SIGSYS";
    default:
      return "signal";
  }
}

// Builds "<directory>/crash-<seconds>-<pid>.txt" into `path` without allocating.
void ReportPath(char* path, std::size_t size, const char* directory, long long seconds, int pid) {
  char numbers[64];
  char* at = numbers + sizeof numbers;
  *--at = '\0';
  const char* suffix = ".txt";
  at -= std::strlen(suffix);
  std::memcpy(at, suffix, std::strlen(suffix));
  auto prepend_number = [&at](unsigned long long value) {
    do {
      *--at = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
  };
  prepend_number(static_cast<unsigned long long>(pid));
  *--at = '-';
  prepend_number(static_cast<unsigned long long>(seconds < 0 ? 0 : seconds));
  const char* prefix = "/crash-";
  const std::size_t directory_length = std::strlen(directory);
  const std::size_t prefix_length = std::strlen(prefix);
  const std::size_t numbers_length = std::strlen(at);
  if (directory_length + prefix_length + numbers_length + 1 > size) {
    path[0] = '\0';
    return;
  }
  std::memcpy(path, directory, directory_length);
  std::memcpy(path + directory_length, prefix, prefix_length);
  std::memcpy(path + directory_length + prefix_length, at, numbers_length + 1);
}

void WriteReport(const CrashHandler& handler, int signal_number, const siginfo_t* info) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const int pid = static_cast<int>(::getpid());
  char path[4200];
  ReportPath(path, sizeof path, handler.directory(), static_cast<long long>(now.tv_sec), pid);
  const int fd = path[0] == '\0' ? -1 : ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) {
    ReportWriter report(fd);
    report.Text("Subject: ").Text(handler.subject()).Text("\n");
    if (CrashHandlerAccess::recipient(handler)[0] != '\0') {
      report.Text("To: ").Text(CrashHandlerAccess::recipient(handler)).Text("\n");
    }
    report.Text("Signal: ").Number(static_cast<unsigned>(signal_number)).Text(" (");
    report.Text(SignalName(signal_number)).Text(")\n");
    if (info != nullptr) {
      report.Text("Code: ").Number(static_cast<unsigned>(info->si_code)).Text("\n");
      report.Text("Address: 0x")
          .Number(reinterpret_cast<unsigned long long>(info->si_addr), 16)
          .Text("\n");
    }
    report.Text("Process: ").Number(static_cast<unsigned>(pid)).Text("\n");
    report.Text("Time: ").Number(static_cast<unsigned long long>(now.tv_sec)).Text("\n");
    report.Text("Backtrace:\n");
    void* frames[kMaxFrames];
    const int count = ::backtrace(frames, kMaxFrames);
    ::backtrace_symbols_fd(frames, count, fd);
    ::close(fd);
  }
  ReportWriter err(STDERR_FILENO);
  err.Text("quarrystream: fatal ").Text(SignalName(signal_number));
  if (fd >= 0) {
    err.Text("; crash report written to ").Text(path);
  }
  err.Text("\n");
}

void OnFatalSignal(int signal_number, siginfo_t* info, void*) {
  // The handler was installed with SA_RESETHAND, so the default action is back in place; a
  // fault inside the report itself ends the process at once.
  if (g_in_handler == 0 && g_handler != nullptr) {
    g_in_handler = 1;
    const CrashCallback callback = CrashHandlerAccess::callback(*g_handler);
    if (callback == nullptr || callback(g_handler)) {
      WriteReport(*g_handler, signal_number, info);
    }
  }
  // Delivered with the default action as soon as the handler returns (or at once, for a fault
  // that repeats when the instruction runs again).
  ::raise(signal_number);
}

}  // namespace

void CrashHandlerAccess::Set(CrashHandler& h, CrashCallback callback, const std::string& recipient,
                             const std::string& subject, const std::string& directory) {
  h.callback_ = callback;
  CopyTruncated(h.recipient_, sizeof h.recipient_, recipient);
  CopyTruncated(h.subject_, sizeof h.subject_, subject);
  CopyTruncated(h.directory_, sizeof h.directory_, directory);
}

std::string CrashHandler::ReportDirectory() {
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
    return std::string(data) + "/Quarrystream";
  }
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.local/share/Quarrystream";
}

CrashHandler* CrashHandler::Install(CrashCallback callback, const std::string& recipient,
                                    const std::string& subject) {
  static CrashHandler handler;
  const std::string directory = ReportDirectory();
  std::error_code ignored;
  std::filesystem::create_directories(directory, ignored);
  CrashHandlerAccess::Set(handler, callback, recipient, subject, directory);

  // backtrace() loads its unwinder on first use, which allocates: do it now, not in the handler.
  void* warm_up[1];
  ::backtrace(warm_up, 1);

  // A stack overflow leaves no stack to run the handler on; give it one of its own.
  static char alternate_stack[64 * 1024];
  stack_t stack{};
  stack.ss_sp = alternate_stack;
  stack.ss_size = sizeof alternate_stack;
  ::sigaltstack(&stack, nullptr);

  struct sigaction action {};
  action.sa_sigaction = OnFatalSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (const int signal_number : kFatalSignals) {
    ::sigaction(signal_number, &action, nullptr);
  }
  g_handler = &handler;
  return &handler;
}

}  // namespace qs
