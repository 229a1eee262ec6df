// The SFV reader on any bytes: entries and CRC texts stay parallel and bounded, the result does
// not depend on the read sizes, and every entry survives the state file's format unchanged.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/line_reader.h"
#include "scan/archive_set.h"
#include "scan/first_volume.h"
#include "scan/sfv_file.h"
#include "scan/state_file.h"

namespace {

qs::ArchiveSet Read(std::string_view text, std::size_t read_size) {
  qs::fuzz::MemoryDisk disk;
  disk.files["/in/x.sfv"] = std::string(text);
  disk.read_size = read_size;
  qs::ArchiveSet set;
  set.sfv_path = "/in/x.sfv";
  set.set_directory = "/in/";
  qs::fuzz::Require(qs::ReadSfvFile(disk, set) == qs::kErrorSuccess, "the SFV file opens");
  return set;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using qs::fuzz::Require;
  const std::string_view text = qs::fuzz::AsText(data, size);
  const qs::ArchiveSet set = Read(text, qs::fuzz::kReadSizes[size % 5]);
  Require(set.entry_names.size() == set.expected_crcs.size(), "names and CRCs are parallel");
  std::string first_volume;
  for (std::size_t i = 0; i < set.entry_names.size(); ++i) {
    const std::string& name = set.entry_names[i];
    const std::string& crc = set.expected_crcs[i];
    Require(name.find('\n') == std::string::npos && crc.find('\n') == std::string::npos,
            "no line break in an entry");
    Require(name.size() + crc.size() <= qs::LineReader::kDefaultMaxLineLength,
            "an entry fits a line");
    Require(crc.find(' ') == std::string::npos, "the CRC text follows the last space");
    Require(!qs::CrcMatches(0, crc) || crc == "00000000", "only 00000000 matches a zero CRC");
    qs::ApplyFirstVolumeRule(name, first_volume);
  }
  const qs::ArchiveSet whole_reads = Read(text, 1u << 20);
  Require(
      whole_reads.entry_names == set.entry_names && whole_reads.expected_crcs == set.expected_crcs,
      "the read size changes nothing");

  // What the set check writes for these entries reads back as the same names and statuses.
  std::vector<std::uint32_t> statuses;
  for (std::size_t i = 0; i < set.entry_names.size(); ++i) {
    statuses.push_back(static_cast<std::uint32_t>(i % 2));
  }
  const std::string state = qs::FormatStateFile(set.entry_names, statuses);
  qs::StateFileReader reader(std::make_unique<qs::test::TextFile>(state, 4096));
  qs::StateLine line;
  std::size_t m = 0;
  while (reader.Next(line)) {
    Require(m < set.entry_names.size(), "no extra state line");
    Require(!line.truncated && line.name == set.entry_names[m], "the name reads back");
    Require(line.status_text == (statuses[m] == 0 ? "0" : "1"), "the status reads back");
    ++m;
  }
  Require(m == set.entry_names.size(), "every entry has its state line");
  return 0;
}
