#include "platform/line_reader.h"

#include <algorithm>
#include <cstring>

namespace qs {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

// A CRC followed by any amount of padding must still parse the same, so a cut that only drops
// blanks does not count as a truncation.
bool AllBlank(const char* begin, const char* end) {
  return std::all_of(begin, end, [](char c) { return c == ' ' || c == '\t' || c == '\r'; });
}

}  // namespace

LineReader::LineReader(ReadableFile& file, std::size_t max_line_length)
    : file_(file), max_line_length_(max_line_length), buffer_(kBufferSize) {}

bool LineReader::Fill() {
  begin_ = 0;
  end_ = 0;
  if (eof_) {
    return false;
  }
  const long got = file_.Read(buffer_.data(), buffer_.size());
  if (got <= 0) {
    // A read error ends the data just as the end of the file does; ReadFailed tells them apart.
    eof_ = true;
    read_failed_ = got < 0;
    return false;
  }
  end_ = static_cast<std::size_t>(got);
  return true;
}

bool LineReader::ReadLine(std::string& line) {
  line.clear();
  truncated_ = false;
  bool got_any = false;
  bool skipping = false;
  for (;;) {
    if (begin_ == end_ && !Fill()) {
      return got_any;
    }
    got_any = true;
    const char* chunk = buffer_.data() + begin_;
    const std::size_t available = end_ - begin_;
    const char* newline = static_cast<const char*>(std::memchr(chunk, '\n', available));
    const std::size_t segment =
        newline != nullptr ? static_cast<std::size_t>(newline - chunk) : available;
    std::size_t kept = 0;
    if (!skipping) {
      kept = std::min(segment, max_line_length_ - line.size());
      line.append(chunk, kept);
      skipping = kept < segment;
    }
    if (skipping && !truncated_ && !AllBlank(chunk + kept, chunk + segment)) {
      truncated_ = true;
    }
    if (newline == nullptr) {
      begin_ = end_;
      continue;
    }
    begin_ += segment + 1;
    // While nothing was skipped, the last stored byte is the one directly before the LF.
    if (!skipping && !line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    return true;
  }
}

}  // namespace qs
