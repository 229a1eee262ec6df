// The crash reporter: on a fatal signal it writes a report (subject, signal, backtrace) into the
// per-user data folder and lets the process end as the signal would have ended it. Nothing is
// sent anywhere.
#pragma once

#include <string>

namespace qs {

class CrashHandler;

// Called inside the signal handler before the report is written, so it must be
// async-signal-safe. Returning false writes no report.
using CrashCallback = bool (*)(CrashHandler* state);

class CrashHandler {
 public:
  // Installs the handler for SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT and SIGSYS. The recipient
  // is only named in the report. Returns the handler's state, which lives until the process
  // ends (nothing uninstalls it); a second call returns the same state with the new texts.
  static CrashHandler* Install(CrashCallback callback, const std::string& recipient,
                               const std::string& subject);

  // Where reports go: $XDG_DATA_HOME/Quarrystream, else ~/.local/share/Quarrystream.
  static std::string ReportDirectory();

  const char* subject() const { return subject_; }
  const char* directory() const { return directory_; }

 private:
  friend struct CrashHandlerAccess;

  CrashHandler() = default;

  // Fixed buffers: the signal handler may not allocate.
  CrashCallback callback_ = nullptr;
  char recipient_[256] = {};
  char subject_[256] = {};
  char directory_[4096] = {};
};

}  // namespace qs
