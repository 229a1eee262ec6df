// A text served as a file in reads of at most `chunk` bytes, so that line ends fall on every
// boundary a reader can meet; with `fail_at_end` the end of the text is a read error.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <utility>

#include "platform/readable_file.h"

namespace qs::test {

class TextFile final : public ReadableFile {
 public:
  explicit TextFile(std::string text, std::size_t chunk = 64 * 1024, bool fail_at_end = false)
      : text_(std::move(text)), chunk_(chunk), fail_at_end_(fail_at_end) {}
  long Read(void* buffer, std::size_t size) override {
    if (fail_at_end_ && offset_ == text_.size()) {
      return -1;
    }
    const std::size_t n = std::min({size, chunk_, text_.size() - offset_});
    std::memcpy(buffer, text_.data() + offset_, n);
    offset_ += n;
    return static_cast<long>(n);
  }

 private:
  std::string text_;
  std::size_t chunk_;
  bool fail_at_end_;
  std::size_t offset_ = 0;
};

}  // namespace qs::test
