#include "platform/line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/fakes.h"

namespace qs {
namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;
using test::TextFile;

// Every line, each followed by "!" when LastLineTruncated() said it was cut.
Lines ReadAll(ReadableFile& file, std::size_t bound) {
  LineReader reader(file, bound);
  Lines lines;
  for (std::string line; reader.ReadLine(line);) {
    lines.push_back(reader.LastLineTruncated() ? line + "!" : line);
  }
  return lines;
}

// The same lines whatever the read sizes. A cut line loses its rest, the next line starts where
// it should, and blank padding after a CRC (even megabytes of it) is no truncation while text
// after the padding is.
TEST(LineReader, SplitsAndBoundsLinesTheSameWhateverTheReadSizes) {
  const std::size_t kMax = LineReader::kDefaultMaxLineLength;
  const std::string crc = "a.rar 0badF00d";
  const std::tuple<std::string, std::size_t, Lines> cases[] = {
      {"", kMax, {}},
      {"a\r\nb\nc\r\n", kMax, {"a", "b", "c"}},
      {"a\rb\nc\r", kMax, {"a\rb", "c\r"}},  // a lone CR stays in the line
      {"a\r\r\n", kMax, {"a\r"}},            // only the last CR before the LF goes
      {"\n\r\n\nx", kMax, {"", "", "", "x"}},
      {"a\0b 1\n\0\n"s, kMax, {"a\0b 1"s, "\0"s}},
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
    for (std::size_t chunk : {1, 2, 7, 4096, 1 << 20}) {
      TextFile file(input, chunk);
      EXPECT_EQ(ReadAll(file, bound), expected) << input.substr(0, 20) << " in reads of " << chunk;
    }
  }
}

TEST(LineReader, ReadErrorEndsTheDataAfterThePartialLineAndTheEndStaysTheEnd) {
  TextFile file("a\nparti", 2, /*fail_at_end=*/true);
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
