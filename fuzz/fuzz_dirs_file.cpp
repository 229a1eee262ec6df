// dirs.cfg on any bytes: every record kept can be written back, writing and reading again gives
// the same list, and the read sizes change nothing.
#include <cstdint>
#include <string>
#include <vector>

#include "config/dirs_file.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using qs::fuzz::Require;
  const std::string_view text = qs::fuzz::AsText(data, size);
  qs::test::TextFile small_reads(std::string(text), qs::fuzz::kReadSizes[size % 5]);
  const std::vector<qs::WatchEntry> entries = qs::ParseDirs(small_reads);
  qs::test::TextFile whole(std::string(text), 1u << 20);
  Require(qs::ParseDirs(whole) == entries, "the read size changes nothing");
  for (const qs::WatchEntry& entry : entries) {
    Require(qs::IsStorablePath(entry.source) && qs::IsStorablePath(entry.destination),
            "every record kept can be written back");
    Require(qs::ParseInclude(std::to_string(entry.include)) == entry.include,
            "the include flag reads back");
  }
  const std::string written = qs::FormatDirs(entries);
  qs::test::TextFile again(written, 4096);
  Require(qs::ParseDirs(again) == entries, "what is written reads back unchanged");
  return 0;
}
