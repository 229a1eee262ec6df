#include "companion/volume_set.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace qs {
namespace {

struct ClassifyCase {
  std::string path;
  VolumeNaming naming;
};

class ClassifyVolumeNameTest : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(ClassifyVolumeNameTest, NamingFollowsTheFileName) {
  EXPECT_EQ(ClassifyVolumeName(GetParam().path), GetParam().naming) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Names, ClassifyVolumeNameTest,
    ::testing::Values(ClassifyCase{"/in/x.part01.rar", VolumeNaming::kPartNumbered},
                      ClassifyCase{"/in/X.PART001.RAR", VolumeNaming::kPartNumbered},
                      ClassifyCase{"x.part1.rar", VolumeNaming::kPartNumbered},
                      ClassifyCase{"/in/x.rar", VolumeNaming::kOldStyleRar},
                      ClassifyCase{"/in/x.part.rar", VolumeNaming::kOldStyleRar},
                      ClassifyCase{"/in/x.partone.rar", VolumeNaming::kOldStyleRar},
                      ClassifyCase{"/in/movie.part01/x.rar", VolumeNaming::kOldStyleRar},
                      ClassifyCase{"/in/x.001", VolumeNaming::kSplitNumbered},
                      ClassifyCase{"/in/x.7z.001", VolumeNaming::kSplitNumbered},
                      ClassifyCase{"/in/x.zip", VolumeNaming::kSingleFile},
                      ClassifyCase{"/in/x.r00", VolumeNaming::kSingleFile},
                      ClassifyCase{"/in.001/x", VolumeNaming::kSingleFile},
                      ClassifyCase{"/in/x.part01.zip", VolumeNaming::kSingleFile}));

struct VolumesCase {
  std::string label;
  std::string first;
  std::vector<std::string> on_disk;  // besides `first`
  std::vector<std::string> expected;
};

void PrintTo(const VolumesCase& c, std::ostream* os) {
  *os << c.label;
}

std::vector<std::string> Numbered(const std::string& head, int from, int to, const char* format) {
  std::vector<std::string> names;
  for (int i = from; i <= to; ++i) {
    char number[16];
    std::snprintf(number, sizeof number, format, i);
    names.push_back(head + number);
  }
  return names;
}

std::vector<std::string> OldStyleUpToS00() {
  std::vector<std::string> names = Numbered("/in/x.r", 0, 99, "%02d");
  names.push_back("/in/x.s00");
  return names;
}

std::vector<std::string> With(std::string first, std::vector<std::string> rest) {
  rest.insert(rest.begin(), std::move(first));
  return rest;
}

class FindVolumesTest : public ::testing::TestWithParam<VolumesCase> {};

TEST_P(FindVolumesTest, ListsTheVolumesInOrderUpToTheFirstMissing) {
  const std::set<std::string> disk(GetParam().on_disk.begin(), GetParam().on_disk.end());
  std::vector<std::string> asked;
  const auto exists = [&](const std::string& path) {
    asked.push_back(path);
    return disk.count(path) != 0;
  };
  EXPECT_EQ(FindVolumes(GetParam().first, exists), GetParam().expected);
  // Only names of the first volume's scheme are ever looked at.
  for (const std::string& path : asked) {
    EXPECT_EQ(ClassifyVolumeName(path) == VolumeNaming::kSingleFile,
              ClassifyVolumeName(GetParam().first) == VolumeNaming::kOldStyleRar)
        << path;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sets, FindVolumesTest,
    ::testing::Values(
        VolumesCase{"PartTwoDigits",
                    "/in/x.part01.rar",
                    {"/in/x.part02.rar", "/in/x.part03.rar", "/in/x.part05.rar", "/in/x.r00"},
                    {"/in/x.part01.rar", "/in/x.part02.rar", "/in/x.part03.rar"}},
        VolumesCase{"PartThreeDigitsKeepTheirWidth",
                    "/in/x.part001.rar",
                    {"/in/x.part002.rar", "/in/x.part2.rar", "/in/x.part02.rar"},
                    {"/in/x.part001.rar", "/in/x.part002.rar"}},
        VolumesCase{"PartOneDigitGrowsPastNine", "/in/x.part1.rar",
                    Numbered("/in/x.part", 2, 11, "%d.rar"),
                    With("/in/x.part1.rar", Numbered("/in/x.part", 2, 11, "%d.rar"))},
        VolumesCase{"PartMissingMiddleStops",
                    "/in/x.part01.rar",
                    {"/in/x.part03.rar", "/in/x.part04.rar"},
                    {"/in/x.part01.rar"}},
        VolumesCase{"PartUpperCase",
                    "/in/X.PART01.RAR",
                    {"/in/X.PART02.RAR", "/in/X.part03.rar"},
                    {"/in/X.PART01.RAR", "/in/X.PART02.RAR"}},
        VolumesCase{"PartNameInDottedDirectory",
                    "/in/a.b/x.y.part01.rar",
                    {"/in/a.b/x.y.part02.rar"},
                    {"/in/a.b/x.y.part01.rar", "/in/a.b/x.y.part02.rar"}},
        VolumesCase{"OldStyle",
                    "/in/x.rar",
                    {"/in/x.r00", "/in/x.r01", "/in/x.r03", "/in/x.part02.rar"},
                    {"/in/x.rar", "/in/x.r00", "/in/x.r01"}},
        VolumesCase{"OldStyleAlone", "/in/x.rar", {"/in/x.r01"}, {"/in/x.rar"}},
        VolumesCase{"OldStyleRollsOverToS00", "/in/x.rar", OldStyleUpToS00(),
                    With("/in/x.rar", OldStyleUpToS00())},
        VolumesCase{"OldStyleUpperCase",
                    "/in/X.RAR",
                    {"/in/X.R00", "/in/x.r01", "/in/X.R01"},
                    {"/in/X.RAR", "/in/X.R00", "/in/X.R01"}},
        VolumesCase{"Split",
                    "/in/x.001",
                    {"/in/x.002", "/in/x.003", "/in/x.005"},
                    {"/in/x.001", "/in/x.002", "/in/x.003"}},
        VolumesCase{
            "SplitOfSevenZip", "/in/x.7z.001", {"/in/x.7z.002"}, {"/in/x.7z.001", "/in/x.7z.002"}},
        VolumesCase{"SplitMissingSecond", "/in/x.001", {"/in/x.003"}, {"/in/x.001"}},
        VolumesCase{"ZipAlone", "/in/x.zip", {"/in/x.z01", "/in/x.002"}, {"/in/x.zip"}},
        VolumesCase{"RelativePath", "x.001", {"x.002"}, {"x.001", "x.002"}}),
    [](const ::testing::TestParamInfo<VolumesCase>& info) { return info.param.label; });

}  // namespace
}  // namespace qs
