#include "companion/volume_set.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace qs {
namespace {

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
      {"/in/X.PART01.RAR", "/in/X.PART02.RAR /in/X.part03.rar", 2},
      {"/in/a.b/x.y.part01.rar", "/in/a.b/x.y.part02.rar", 2},
      {"/in/x.rar", "/in/x.r00 /in/x.r01 /in/x.r03 /in/x.part02.rar", 3},
      {"/in/x.rar", Numbered("/in/x.r%02d", 0, 99) + "/in/x.s00", 102},
      {"/in/X.RAR", "/in/X.R00 /in/X.R01 /in/x.r01", 3},
      {"/in/x.001", "/in/x.002 /in/x.003 /in/x.005", 3},
      {"/in/x.7z.001", "/in/x.7z.002", 2},
      {"/in/x.zip", "/in/x.z01 /in/x.002", 1},
      {"/in/x.partone.rar", "/in/x.partone.r00 /in/x.parttwo.rar", 2},
      {"/in/movie.part01/x.rar", "/in/movie.part01/x.r00 /in/movie.part02/x.rar", 2},
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
