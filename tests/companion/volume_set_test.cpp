#include "companion/volume_set.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace qs {
namespace {

TEST(ClassifyVolumeName, NamingFollowsTheFileName) {
  const std::pair<const char*, VolumeNaming> cases[] = {
      {"/in/x.part01.rar", VolumeNaming::kPartNumbered},
      {"/in/X.PART001.RAR", VolumeNaming::kPartNumbered},
      {"x.part1.rar", VolumeNaming::kPartNumbered},
      {"/in/x.rar", VolumeNaming::kOldStyleRar},
      {"/in/x.part.rar", VolumeNaming::kOldStyleRar},
      {"/in/x.partone.rar", VolumeNaming::kOldStyleRar},
      {"/in/movie.part01/x.rar", VolumeNaming::kOldStyleRar},
      {"/in/x.001", VolumeNaming::kSplitNumbered},
      {"/in/x.7z.001", VolumeNaming::kSplitNumbered},
      {"/in/x.zip", VolumeNaming::kSingleFile},
      {"/in/x.r00", VolumeNaming::kSingleFile},
      {"/in.001/x", VolumeNaming::kSingleFile},
      {"/in/x.part01.zip", VolumeNaming::kSingleFile}};
  for (const auto& [path, naming] : cases) {
    EXPECT_EQ(ClassifyVolumeName(path), naming) << path;
  }
}

struct VolumesCase {
  std::string first;
  std::string others;  // on disk besides `first`, separated by blanks
  std::size_t found;   // the volumes expected: `first` and the others, up to this many
};

std::string Numbered(const char* format, int from, int to) {
  std::string names;
  for (int i = from; i <= to; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, format, i);
    names += std::string(name) + " ";
  }
  return names;
}

TEST(FindVolumes, ListsTheVolumesInOrderUpToTheFirstMissing) {
  const VolumesCase cases[] = {
      {"/in/x.part01.rar", "/in/x.part02.rar /in/x.part03.rar /in/x.part05.rar /in/x.r00", 3},
      {"/in/x.part001.rar", "/in/x.part002.rar /in/x.part2.rar /in/x.part02.rar", 2},
      {"/in/x.part1.rar", Numbered("/in/x.part%d.rar", 2, 11), 11},  // grows past nine
      {"/in/x.part01.rar", "/in/x.part03.rar /in/x.part04.rar", 1},
      {"/in/X.PART01.RAR", "/in/X.PART02.RAR /in/X.part03.rar", 2},
      {"/in/a.b/x.y.part01.rar", "/in/a.b/x.y.part02.rar", 2},
      {"/in/x.rar", "/in/x.r00 /in/x.r01 /in/x.r03 /in/x.part02.rar", 3},
      {"/in/x.rar", "/in/x.r01", 1},
      {"/in/x.rar", Numbered("/in/x.r%02d", 0, 99) + "/in/x.s00", 102},
      {"/in/X.RAR", "/in/X.R00 /in/X.R01 /in/x.r01", 3},
      {"/in/x.001", "/in/x.002 /in/x.003 /in/x.005", 3},
      {"/in/x.7z.001", "/in/x.7z.002", 2},
      {"/in/x.001", "/in/x.003", 1},
      {"/in/x.zip", "/in/x.z01 /in/x.002", 1},
      {"x.001", "x.002", 2}};
  for (const VolumesCase& c : cases) {
    SCOPED_TRACE(c.first + " with " + c.others.substr(0, 60));
    std::vector<std::string> disk{c.first};
    std::istringstream others(c.others);
    for (std::string name; others >> name;) {
      disk.push_back(name);
    }
    const std::set<std::string> on_disk(disk.begin(), disk.end());
    const auto exists = [&](const std::string& path) { return on_disk.count(path) != 0; };
    disk.resize(c.found);
    EXPECT_EQ(FindVolumes(c.first, exists), disk);
  }
}

}  // namespace
}  // namespace qs
