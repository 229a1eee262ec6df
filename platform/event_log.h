// The log that the window, the headless runner and the companion program share: one line for
// each event a user may want to look back on (a set handed off, a volume that failed its CRC, a
// program that could not be started, a pass that ended early). Kept under about 1 MiB by keeping
// one older file beside it. Small enough to link into the companion, which shares nothing else.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qs {

// Where the log is: the absolute path in this variable, which the program sets for a profile
// folder so that the companion it starts writes beside it.
inline constexpr const char* kLogEnvironmentVariable = "QUARRYSTREAM_LOG";
inline constexpr const char* kLogFileName = "quarrystream.log";
// Past this size the file becomes "<log>.1" (replacing the older one) before the next line.
inline constexpr std::uintmax_t kLogRotateBytes = std::uintmax_t{1} << 20;

// $QUARRYSTREAM_LOG when it is an absolute path; else $XDG_STATE_HOME/Quarrystream/
// quarrystream.log ($XDG_STATE_HOME when absolute, else ~/.local/state).
std::string DefaultLogPath();

// Thread-safe and safe across processes: every line is one append under an flock of the file,
// so lines of the window, the runner and the companion never interleave or get lost to a rotation.
class EventLog {
 public:
  // `program` names the writer in each line ("quarrystream", "mirrowen").
  EventLog(std::string path, std::string program);

  // Appends "2026-12-06T01:30:00+0100 quarrystream[1234]: text\n". Control characters in
  // `text` become spaces, so one event is always one line. Creates the folder when missing.
  // False when the line could not be written; a log is never worth failing the work for.
  bool Append(std::string_view text) const;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::string program_;
};

}  // namespace qs
