#include "platform/line_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace qs {
namespace {

// Hands out `data` in pieces of at most `chunk` bytes, so that line ends fall across reads.
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

// `prefix`, then `filler` repeated `count` times, then `suffix`, without holding it all at once.
class GeneratedFile : public ReadableFile {
 public:
  GeneratedFile(std::string prefix, char filler, std::size_t count, std::string suffix)
      : prefix_(std::move(prefix)), filler_(filler), count_(count), suffix_(std::move(suffix)) {}
  long Read(void* buffer, std::size_t size) override {
    char* out = static_cast<char*>(buffer);
    std::size_t n = 0;
    const std::size_t total = prefix_.size() + count_ + suffix_.size();
    while (n < size && position_ < total) {
      if (position_ < prefix_.size()) {
        out[n] = prefix_[position_];
      } else if (position_ < prefix_.size() + count_) {
        out[n] = filler_;
      } else {
        out[n] = suffix_[position_ - prefix_.size() - count_];
      }
      ++n;
      ++position_;
    }
    return static_cast<long>(n);
  }

 private:
  std::string prefix_;
  char filler_;
  std::size_t count_;
  std::string suffix_;
  std::size_t position_ = 0;
};

std::vector<std::string> ReadAll(ReadableFile& file, std::size_t bound = 64 * 1024,
                                 std::vector<bool>* truncated = nullptr) {
  LineReader reader(file, bound);
  std::vector<std::string> lines;
  std::string line;
  while (reader.ReadLine(line)) {
    lines.push_back(line);
    if (truncated != nullptr) {
      truncated->push_back(reader.LastLineTruncated());
    }
  }
  return lines;
}

using Lines = std::vector<std::string>;

struct SplitCase {
  const char* name;
  std::string input;
  Lines expected;
};

class LineSplitTest : public ::testing::TestWithParam<std::tuple<SplitCase, std::size_t>> {};

TEST_P(LineSplitTest, SplitsTheSameWhateverTheReadSizes) {
  const auto& [c, chunk] = GetParam();
  ChunkedFile file(c.input, chunk);
  EXPECT_EQ(ReadAll(file), c.expected) << c.name;
}

using namespace std::string_literals;

const SplitCase kSplitCases[] = {
    {"empty file", "", {}},
    {"lf", "a\nb\n", {"a", "b"}},
    {"crlf", "a 1\r\nb 2\r\n", {"a 1", "b 2"}},
    {"mixed", "a\r\nb\nc\r\n", {"a", "b", "c"}},
    {"lone cr stays in the line", "a\rb\nc\r", {"a\rb", "c\r"}},
    {"only the last cr before lf goes", "a\r\r\n", {"a\r"}},
    {"no final line end", "a\nlast", {"a", "last"}},
    {"empty lines kept", "\n\r\n\nx", {"", "", "", "x"}},
    {"single lf", "\n", {""}},
    {"nul bytes kept", "a\0b 1\n\0\n"s, {"a\0b 1"s, "\0"s}},
    {"high bytes kept", "\xff\xfe name\r\n", {"\xff\xfe name"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, LineSplitTest,
                         ::testing::Combine(::testing::ValuesIn(kSplitCases),
                                            ::testing::Values(1, 2, 3, 7, 65536)));

TEST(LineReaderTest, LongLineIsCutAndTheRestSkipped) {
  for (const std::size_t chunk : {1u, 5u, 4096u}) {
    ChunkedFile file("0123456789abc\nnext\r\n", chunk);
    std::vector<bool> truncated;
    EXPECT_EQ(ReadAll(file, 10, &truncated), (Lines{"0123456789", "next"})) << chunk;
    EXPECT_EQ(truncated, (std::vector<bool>{true, false})) << chunk;
  }
}

TEST(LineReaderTest, LineExactlyAtTheBoundIsWhole) {
  ChunkedFile file("0123456789\r\n0123456789", 3);
  std::vector<bool> truncated;
  EXPECT_EQ(ReadAll(file, 10, &truncated), (Lines{"0123456789", "0123456789"}));
  EXPECT_EQ(truncated, (std::vector<bool>{false, false}));
}

TEST(LineReaderTest, BlankPaddingBeyondTheBoundIsNotATruncation) {
  ChunkedFile file("name 1234ABCD  \t \t  \r\nx\n", 4);
  std::vector<bool> truncated;
  EXPECT_EQ(ReadAll(file, 15, &truncated), (Lines{"name 1234ABCD  ", "x"}));
  EXPECT_EQ(truncated, (std::vector<bool>{false, false}));
}

TEST(LineReaderTest, TenMegabyteLineStaysBounded) {
  GeneratedFile file("start", 'x', 10 * 1024 * 1024, "\r\nafter\n");
  std::vector<bool> truncated;
  const Lines lines = ReadAll(file, LineReader::kDefaultMaxLineLength, &truncated);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), LineReader::kDefaultMaxLineLength);
  EXPECT_EQ(lines[0].substr(0, 6), "startx");
  EXPECT_EQ(lines[1], "after");
  EXPECT_EQ(truncated, (std::vector<bool>{true, false}));
}

TEST(LineReaderTest, CrcFollowedByMegabytesOfBlanksParsesTheSame) {
  GeneratedFile file("a.rar 0badF00d", ' ', 8 * 1024 * 1024, "\nb.rar 00000000");
  std::vector<bool> truncated;
  const Lines lines = ReadAll(file, LineReader::kDefaultMaxLineLength, &truncated);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, 14), "a.rar 0badF00d");
  EXPECT_EQ(lines[0].find_first_not_of(' ', 14), std::string::npos);
  EXPECT_EQ(lines[1], "b.rar 00000000");
  EXPECT_EQ(truncated, (std::vector<bool>{false, false}));
}

TEST(LineReaderTest, TextAfterBlankPaddingBeyondTheBoundIsATruncation) {
  GeneratedFile file("a.rar 0badF00d", ' ', 100000, "junk\n");
  std::vector<bool> truncated;
  ReadAll(file, LineReader::kDefaultMaxLineLength, &truncated);
  EXPECT_EQ(truncated, (std::vector<bool>{true}));
}

TEST(LineReaderTest, ReadErrorEndsTheDataAfterThePartialLine) {
  ChunkedFile file("a\nparti", 2, /*fail_at_end=*/true);
  EXPECT_EQ(ReadAll(file), (Lines{"a", "parti"}));
}

TEST(LineReaderTest, KeepsAnsweringFalseAtTheEnd) {
  ChunkedFile file("a", 1);
  LineReader reader(file);
  std::string line;
  EXPECT_TRUE(reader.ReadLine(line));
  EXPECT_FALSE(reader.ReadLine(line));
  EXPECT_TRUE(line.empty());
  EXPECT_FALSE(reader.ReadLine(line));
}

}  // namespace
}  // namespace qs
