// Archives made in memory with libarchive's writer, for the companion's extraction tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace qs::test {

// kEncryptedZip: every entry encrypted with a password the tests never give.
enum class FixtureFormat { kZip, kEncryptedZip, kPaxTar, kTarGzip, kSevenZip };
// kSparseFile: the content at offset 0 of a 16 GiB file that is holes otherwise.
enum class FixtureType { kFile, kDirectory, kSymlink, kHardlink, kCharDevice, kSparseFile };

struct FixtureEntry {
  std::string name;
  std::string content;  // files only
  FixtureType type = FixtureType::kFile;
  std::string link;  // symlink content or hardlink target
  int perm = 0644;
};

inline FixtureEntry File(std::string name, std::string content, int perm = 0644) {
  return {std::move(name), std::move(content), FixtureType::kFile, "", perm};
}
inline FixtureEntry Directory(std::string name, int perm = 0755) {
  return {std::move(name), "", FixtureType::kDirectory, "", perm};
}
inline FixtureEntry Link(FixtureType type, std::string name, std::string target) {
  return {std::move(name), "", type, std::move(target), 0777};
}

// The archive's bytes; aborts the test program when libarchive refuses an entry.
std::string BuildArchive(FixtureFormat format, const std::vector<FixtureEntry>& entries);

// `count` bytes that do not compress away, different for each seed.
std::string Noise(std::size_t count, unsigned seed);

}  // namespace qs::test
