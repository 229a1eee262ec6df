// The state file a set check keeps in the set's directory: one line "name status" per SFV entry,
// so that a volume verified in one pass is never read again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/line_reader.h"
#include "platform/readable_file.h"

namespace qs {

struct StateLine {
  std::string name;
  std::string status_text;
  // The line was longer than any line this program writes; its status is unknown.
  bool truncated = false;
};

// Splits at the last space; the status text loses its trailing white space. A line without a
// space gives an empty name and the whole line as the status text.
StateLine ParseStateLine(std::string_view line);

// Exactly "0" asks for a checksum now; any other status text counts as verified.
inline bool NeedsVerification(const StateLine& line) {
  return line.status_text == "0";
}

// The file's content: "name status" with CR LF for every entry name, on every platform. A name
// without a status (the state file was shorter than the SFV file) is written as 0.
std::string FormatStateFile(const std::vector<std::string>& names,
                            const std::vector<std::uint32_t>& statuses);

// Reads a state file line by line (LF or CR LF), without holding it in memory.
class StateFileReader {
 public:
  explicit StateFileReader(std::unique_ptr<ReadableFile> file);
  bool Next(StateLine& line);

  // Room for the longest name an SFV line can give plus the status, so every line this program
  // wrote reads back whole.
  static constexpr std::size_t kMaxLineLength = LineReader::kDefaultMaxLineLength + 32;

 private:
  std::unique_ptr<ReadableFile> file_;
  LineReader reader_;
  std::string buffer_;
};

}  // namespace qs
