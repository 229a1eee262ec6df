#include "platform/line_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace qs {
namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

// Hands out `data` in pieces of at most `chunk` bytes, so that line ends fall across reads;
// with `fail_at_end` the end of the data is a read error.
class ChunkedFile : public ReadableFile {
 public:
  ChunkedFile(std::string data, std::size_t chunk, bool fail_at_end = false)
      : data_(std::move(data)), chunk_(chunk), fail_at_end_(fail_at_end) {}
  long Read(void* buffer, std::size_t size) override {
    if (position_ == data_.size()) {
      return fail_at_end_ ? -1 : 0;
    }
    const std::size_t n = std::min({size, chunk_, data_.size() - position_});
    std::memcpy(buffer, data_.data() + position_, n);
    position_ += n;
    return static_cast<long>(n);
  }

 private:
  std::string data_;
  std::size_t chunk_;
  bool fail_at_end_;
  std::size_t position_ = 0;
};

// Every line, each followed by "!" when LastLineTruncated() said it was cut.
Lines ReadAll(ReadableFile& file, std::size_t bound = LineReader::kDefaultMaxLineLength) {
  LineReader reader(file, bound);
  Lines lines;
  for (std::string line; reader.ReadLine(line);) {
    lines.push_back(reader.LastLineTruncated() ? line + "!" : line);
  }
  return lines;
}

TEST(LineReader, SplitsLinesTheSameWhateverTheReadSizes) {
  const std::pair<std::string, Lines> cases[] = {
      {"", {}},
      {"a\r\nb\nc\r\n", {"a", "b", "c"}},
      {"a\rb\nc\r", {"a\rb", "c\r"}},  // a lone CR stays in the line
      {"a\r\r\n", {"a\r"}},            // only the last CR before the LF goes
      {"a\nlast", {"a", "last"}},
      {"\n\r\n\nx", {"", "", "", "x"}},
      {"a\0b 1\n\0\n"s, {"a\0b 1"s, "\0"s}},
      {"\xff\xfe name\r\n", {"\xff\xfe name"}}};
  for (const auto& [input, expected] : cases) {
    for (std::size_t chunk : {1, 2, 3, 7, 65536}) {
      ChunkedFile file(input, chunk);
      EXPECT_EQ(ReadAll(file), expected) << '"' << input << "\" in reads of " << chunk;
    }
  }
}

// A cut line loses its rest, the next line starts where it should, and blank padding after a
// CRC (even megabytes of it) is no truncation while text after the padding is.
TEST(LineReader, BoundsEachLineAndKeepsTheNextAligned) {
  const std::size_t kMax = LineReader::kDefaultMaxLineLength;
  const std::string crc = "a.rar 0badF00d";
  const std::tuple<std::string, std::size_t, Lines> cases[] = {
      {"0123456789abc\nnext\r\n", 10, {"0123456789!", "next"}},
      {"0123456789\r\n0123456789", 10, {"0123456789", "0123456789"}},
      {"name 1234ABCD  \t \t  \r\nx\n", 15, {"name 1234ABCD  ", "x"}},
      {"start" + std::string(10 << 20, 'x') + "\r\nafter\n",
       kMax,
       {"start" + std::string(kMax - 5, 'x') + "!", "after"}},
      {crc + std::string(8 << 20, ' ') + "\nb.rar 00000000",
       kMax,
       {crc + std::string(kMax - crc.size(), ' '), "b.rar 00000000"}},
      {crc + std::string(100000, ' ') + "junk\n",
       kMax,
       {crc + std::string(kMax - crc.size(), ' ') + "!"}}};
  for (const auto& [input, bound, expected] : cases) {
    for (std::size_t chunk : {3, 4096, 1 << 20}) {
      ChunkedFile file(input, chunk);
      EXPECT_EQ(ReadAll(file, bound), expected) << input.substr(0, 20) << " in reads of " << chunk;
    }
  }
}

TEST(LineReader, ReadErrorEndsTheDataAfterThePartialLineAndTheEndStaysTheEnd) {
  ChunkedFile file("a\nparti", 2, /*fail_at_end=*/true);
  LineReader reader(file);
  std::string line;
  EXPECT_TRUE(reader.ReadLine(line) && reader.ReadLine(line));
  EXPECT_EQ(line, "parti");
  EXPECT_FALSE(reader.ReadLine(line));
  EXPECT_TRUE(line.empty());
  EXPECT_FALSE(reader.ReadLine(line));
}

}  // namespace
}  // namespace qs
