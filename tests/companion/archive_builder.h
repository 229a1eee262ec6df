// Archives made in memory with libarchive's writer, for the companion's extraction tests.
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

namespace qs::test {

enum class FixtureFormat { kZip, kPaxTar, kTarGzip, kSevenZip };

struct FixtureEntry {
  std::string name;
  std::string content = "";  // of a file; a symlink's target for S_IFLNK
  mode_t mode = S_IFREG | 0644;
  std::string hardlink = "";  // the target, for a hard link
  bool sparse = false;        // `content` at offset 0 of a 16 GiB file that is holes otherwise
};

// The archive's bytes; aborts the test program when libarchive refuses an entry.
std::string BuildArchive(FixtureFormat format, const std::vector<FixtureEntry>& entries);

}  // namespace qs::test
