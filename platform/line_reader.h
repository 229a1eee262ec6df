// Splits a ReadableFile into lines (LF or CR LF; a CR before the LF is dropped with it), with a
// bound on how much of one line is kept so that hostile input cannot exhaust memory.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/readable_file.h"

namespace qs {

class LineReader {
 public:
  // Lines longer than `max_line_length` are cut to that length; the rest of such a line is
  // skipped without being stored. The cut counts as a truncation only when the skipped part
  // held more than spaces, tabs and CRs, so blank padding after a CRC changes nothing.
  explicit LineReader(ReadableFile& file, std::size_t max_line_length = kDefaultMaxLineLength);

  // Reads the next line into `line`. Returns false at the end of the file (or at a read error);
  // a last line without a line end is still returned.
  bool ReadLine(std::string& line);

  // Whether the line last returned lost more than blanks to the bound.
  bool LastLineTruncated() const { return truncated_; }

  // Whether the data ended at a read error rather than at the end of the file: what was read
  // is then not the whole file.
  bool ReadFailed() const { return read_failed_; }

  // Longer than any file name or path a file system accepts.
  static constexpr std::size_t kDefaultMaxLineLength = 64 * 1024;

 private:
  bool Fill();

  ReadableFile& file_;
  std::size_t max_line_length_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  bool truncated_ = false;
  bool read_failed_ = false;
};

}  // namespace qs
