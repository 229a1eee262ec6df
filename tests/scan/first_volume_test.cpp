#include "scan/first_volume.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qs {
namespace {

struct VolumeCase {
  std::vector<std::string> names;
  std::string first_volume;
};

std::vector<std::string> PartNames(int count) {
  std::vector<std::string> names;
  for (int i = 1; i <= count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "x.part%03d.rar", i);
    names.emplace_back(name);
  }
  return names;
}

class FirstVolumeTest : public ::testing::TestWithParam<VolumeCase> {};

TEST_P(FirstVolumeTest, LastCandidateInOrderWins) {
  std::string first;
  for (const std::string& name : GetParam().names) {
    ApplyFirstVolumeRule(name, first);
  }
  EXPECT_EQ(first, GetParam().first_volume);
}

INSTANTIATE_TEST_SUITE_P(
    Sets, FirstVolumeTest,
    ::testing::Values(VolumeCase{{"x.rar", "x.r00", "x.r01"}, "x.rar"},
                      VolumeCase{{"x.part01.rar", "x.part02.rar"}, "x.part01.rar"},
                      VolumeCase{{"x.part1.rar", "x.part2.rar"}, "x.part1.rar"},
                      VolumeCase{PartNames(120), "x.part001.rar"},
                      VolumeCase{{"x.001", "x.002"}, "x.001"}, VolumeCase{{"x.zip"}, "x.zip"},
                      VolumeCase{{"x.part0001.rar", "x.part0002.rar"}, ""},
                      // ".part" is searched in lower case only: capital P makes every volume a
                      // candidate, so the last one listed wins.
                      VolumeCase{{"x.Part01.rar", "x.Part02.rar"}, "x.Part02.rar"},
                      VolumeCase{{"x.part01.RAR", "x.part02.RAR"}, "x.part01.RAR"},
                      VolumeCase{{"x.r00", "x.rar"}, "x.rar"},
                      VolumeCase{{"a.rar", "b.zip"}, "b.zip"},
                      VolumeCase{{"x.part01.sub.rar"}, "x.part01.sub.rar"},
                      // The first ".part" decides, even inside a longer word.
                      VolumeCase{{"my.party.part1.rar"}, ""}, VolumeCase{{"x.partial.rar"}, ""},
                      VolumeCase{{"rar"}, "rar"}, VolumeCase{{"x.sfv", "x.nfo", ""}, ""}));

}  // namespace
}  // namespace qs
