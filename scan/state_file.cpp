#include "scan/state_file.h"

#include <utility>

#include "scan/text_util.h"

namespace qs {

StateLine ParseStateLine(std::string_view line) {
  StateLine parsed;
  const std::size_t space = line.rfind(' ');
  if (space == std::string_view::npos) {
    parsed.status_text = std::string(TrimTrailingWhiteSpace(line));
  } else {
    parsed.name = std::string(line.substr(0, space));
    parsed.status_text = std::string(TrimTrailingWhiteSpace(line.substr(space + 1)));
  }
  return parsed;
}

std::string FormatStateFile(const std::vector<std::string>& names,
                            const std::vector<std::uint32_t>& statuses) {
  std::size_t size = 0;
  for (const std::string& name : names) {
    size += name.size() + 16;
  }
  std::string content;
  content.reserve(size);
  for (std::size_t i = 0; i < names.size(); ++i) {
    // "%s %i": the status as a signed decimal, as the file has always held it.
    const std::uint32_t status = i < statuses.size() ? statuses[i] : 0;
    content += names[i];
    content += ' ';
    content += std::to_string(static_cast<std::int32_t>(status));
    content += "\r\n";
  }
  return content;
}

StateFileReader::StateFileReader(std::unique_ptr<ReadableFile> file)
    : file_(std::move(file)), reader_(*file_, kMaxLineLength) {}

bool StateFileReader::Next(StateLine& line) {
  if (!reader_.ReadLine(buffer_)) {
    return false;
  }
  line = ParseStateLine(buffer_);
  line.truncated = reader_.LastLineTruncated();
  return true;
}

}  // namespace qs
