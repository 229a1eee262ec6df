#include "companion/extractor.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "companion/volume_set.h"
#include "tests/companion/archive_builder.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

namespace fs = std::filesystem;
using test::FixtureEntry;
using test::FixtureFormat;
using test::FixtureType;

bool IsFile(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

std::string WorkingDirectory() {
  std::error_code ec;
  return fs::current_path(ec).string();
}

// Everything under `root` except below `skipped`, as relative names.
std::set<std::string> Listing(const std::string& root, const std::string& skipped) {
  std::set<std::string> names;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    if (it->path().string() == skipped) {
      it.disable_recursion_pending();
    }
    names.insert(fs::relative(it->path(), root).string());
  }
  return names;
}

// The archive written as `pieces` byte-split volumes (set.001, ...), or whole as `single_name`.
std::string WriteVolumes(const test::TempDir& temp, const std::string& bytes, int pieces,
                         const std::string& single_name) {
  if (pieces == 1) {
    return temp.WriteFile("in/" + single_name, bytes);
  }
  std::string first;
  const std::size_t step = bytes.size() / static_cast<std::size_t>(pieces) + 1;
  for (int i = 0; i < pieces; ++i) {
    const std::string path = temp.WriteFile("in/set.00" + std::to_string(i + 1),
                                            bytes.substr(static_cast<std::size_t>(i) * step, step));
    first = first.empty() ? path : first;
  }
  return first;
}

class ExtractorTest : public ::testing::Test {
 protected:
  ExtractionResult Extract(const std::string& first_volume, const std::string& destination) {
    ExtractionCallbacks callbacks;
    callbacks.on_entry = [this](std::string_view name) { names_.emplace_back(name); };
    callbacks.on_problem = [this](std::string_view line) { problems_.emplace_back(line); };
    const std::string before = WorkingDirectory();
    const ExtractionResult result =
        ExtractArchiveSet(FindVolumes(first_volume, IsFile), destination, callbacks);
    EXPECT_EQ(WorkingDirectory(), before);
    return result;
  }

  test::TempDir temp_;
  std::vector<std::string> names_;
  std::vector<std::string> problems_;
};

struct FormatCase {
  std::string label;
  FixtureFormat format;
  int pieces;
  std::string single_name;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
  *os << c.label;
}

class ExtractFormatTest : public ExtractorTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(ExtractFormatTest, ExtractsEveryVolumeIntoADoubledSeparatorDestination) {
  const std::string big = test::Noise(300'000, 7);
  const std::string bytes = test::BuildArchive(
      GetParam().format, {test::File("readme.txt", "hello\n"), test::Directory("sub"),
                          test::File("sub/deep/data.bin", big), test::File("sub/empty", "")});
  const std::string first = WriteVolumes(temp_, bytes, GetParam().pieces, GetParam().single_name);
  ASSERT_EQ(FindVolumes(first, IsFile).size(), static_cast<std::size_t>(GetParam().pieces));

  const ExtractionResult result = Extract(first, temp_.path() + "/out//my movie/");

  EXPECT_TRUE(result.Succeeded()) << result.error;
  EXPECT_EQ(result.entries_written, 4);
  EXPECT_TRUE(problems_.empty());
  // Writers add a '/' to directory names; 7z stores directories last.
  EXPECT_EQ(std::set<std::string>(names_.begin(), names_.end()),
            (std::set<std::string>{"readme.txt", "sub/", "sub/deep/data.bin", "sub/empty"}));
  const std::string out = temp_.Path("out/my movie/");
  EXPECT_EQ(test::ReadFile(out + "readme.txt"), "hello\n");
  EXPECT_EQ(test::ReadFile(out + "sub/deep/data.bin"), big);
  EXPECT_TRUE(IsFile(out + "sub/empty"));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ExtractFormatTest,
    ::testing::Values(FormatCase{"Zip", FixtureFormat::kZip, 1, "set.zip"},
                      FormatCase{"ZipSplitInTwo", FixtureFormat::kZip, 2, ""},
                      FormatCase{"TarSplitInThree", FixtureFormat::kPaxTar, 3, ""},
                      FormatCase{"TarGzipSplitInTwo", FixtureFormat::kTarGzip, 2, ""},
                      FormatCase{"SevenZipSplitInTwo", FixtureFormat::kSevenZip, 2, ""}),
    [](const ::testing::TestParamInfo<FormatCase>& info) { return info.param.label; });

struct HostileCase {
  std::string label;
  // Given the sandbox root; the destination is root + "/out".
  std::function<std::vector<FixtureEntry>(const std::string& root)> entries;
};

void PrintTo(const HostileCase& c, std::ostream* os) {
  *os << c.label;
}

class HostileArchiveTest : public ExtractorTest,
                           public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileArchiveTest, WritesNothingOutsideTheDestination) {
  temp_.WriteFile("secret", "keep");
  temp_.MakeDir("outside");
  const std::string out = temp_.Path("out");
  std::vector<FixtureEntry> entries = GetParam().entries(temp_.path());
  entries.push_back(test::File("ok.txt", "fine"));
  const std::string first =
      temp_.WriteFile("in/set.tar", test::BuildArchive(FixtureFormat::kPaxTar, entries));
  const std::set<std::string> before = Listing(temp_.path(), out);

  const ExtractionResult result = Extract(first, out + "/");

  std::set<std::string> expected_outside = before;
  expected_outside.insert("out");
  EXPECT_EQ(Listing(temp_.path(), out), expected_outside) << "written outside the destination";
  EXPECT_EQ(test::ReadFile(temp_.Path("secret")), "keep");
  EXPECT_EQ(test::ReadFile(out + "/ok.txt"), "fine");
  EXPECT_FALSE(result.Succeeded());
  EXPECT_TRUE(result.error.empty()) << result.error;
  EXPECT_EQ(result.entries_skipped, static_cast<int>(entries.size()) - 1);
  EXPECT_EQ(problems_.size(), entries.size() - 1);
  for (const auto& entry : fs::recursive_directory_iterator(out)) {
    EXPECT_FALSE(entry.is_symlink()) << entry.path();
    EXPECT_FALSE(entry.is_character_file()) << entry.path();
    if (entry.is_regular_file()) {
      EXPECT_EQ(entry.hard_link_count(), 1u) << entry.path();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Members, HostileArchiveTest,
    ::testing::Values(
        HostileCase{"DotDot",
                    [](const std::string&) {
                      return std::vector<FixtureEntry>{test::File("../escape", "bad")};
                    }},
        HostileCase{"DotDotInside",
                    [](const std::string&) {
                      return std::vector<FixtureEntry>{test::File("a/../../outside/escape", "bad")};
                    }},
        HostileCase{"AbsoluteName",
                    [](const std::string& root) {
                      return std::vector<FixtureEntry>{test::File(root + "/outside/escape", "bad")};
                    }},
        HostileCase{"SymlinkOut",
                    [](const std::string&) {
                      return std::vector<FixtureEntry>{
                          test::Link(FixtureType::kSymlink, "link", "../outside")};
                    }},
        HostileCase{"SymlinkAbsolute",
                    [](const std::string& root) {
                      return std::vector<FixtureEntry>{
                          test::Link(FixtureType::kSymlink, "link", root + "/outside")};
                    }},
        HostileCase{"HardlinkOut",
                    [](const std::string&) {
                      return std::vector<FixtureEntry>{
                          test::Link(FixtureType::kHardlink, "h", "../secret")};
                    }},
        HostileCase{"HardlinkAbsolute",
                    [](const std::string& root) {
                      return std::vector<FixtureEntry>{
                          test::Link(FixtureType::kHardlink, "h", root + "/secret")};
                    }},
        // Each link harmless on its own, together they reach /root and a file outside.
        HostileCase{"LinkThroughEarlierLink",
                    [](const std::string&) {
                      return std::vector<FixtureEntry>{
                          test::Link(FixtureType::kSymlink, "d/u", ".."),
                          test::Link(FixtureType::kSymlink, "home", "d/u/d/u/../../root"),
                          test::Link(FixtureType::kHardlink, "pw", "d/u/d/u/../../secret")};
                    }},
        HostileCase{"Sparse16GiB",
                    [](const std::string&) {
                      return std::vector<FixtureEntry>{
                          {"holes", "data", FixtureType::kSparseFile, "", 0644}};
                    }},
        HostileCase{
            "Device",
            [](const std::string&) {
              return std::vector<FixtureEntry>{{"null", "", FixtureType::kCharDevice, "", 0666}};
            }}),
    [](const ::testing::TestParamInfo<HostileCase>& info) { return info.param.label; });

// A link the destination already holds is not followed out of it (libarchive's own check).
TEST_F(ExtractorTest, DoesNotWriteThroughASymlinkInTheDestination) {
  temp_.MakeDir("outside");
  const std::string out = temp_.MakeDir("out");
  fs::create_directory_symlink(temp_.Path("outside"), out + "/link");
  const std::string first = temp_.WriteFile(
      "in/set.zip", test::BuildArchive(FixtureFormat::kZip,
                                       {test::File("link/escape", "bad"), test::File("ok", "1")}));

  const ExtractionResult result = Extract(first, out);

  EXPECT_FALSE(test::Exists(temp_.Path("outside/escape")));
  EXPECT_EQ(test::ReadFile(out + "/ok"), "1");
  EXPECT_EQ(result.entries_skipped, 1);
}

TEST_F(ExtractorTest, DropsSetIdBitsAndKeepsDirectoriesWritable) {
  const std::string first = temp_.WriteFile(
      "in/set.tar",
      test::BuildArchive(FixtureFormat::kPaxTar, {test::Directory("ro", 0555),
                                                  test::File("ro/tool", "#!/bin/sh\n", 06755)}));

  const ExtractionResult result = Extract(first, temp_.Path("out"));

  ASSERT_TRUE(result.Succeeded()) << result.error;
  struct stat tool {};
  ASSERT_EQ(stat(temp_.Path("out/ro/tool").c_str(), &tool), 0);
  EXPECT_EQ(tool.st_mode & (S_ISUID | S_ISGID), 0u);
  EXPECT_NE(tool.st_mode & S_IXUSR, 0u);
  struct stat dir {};
  ASSERT_EQ(stat(temp_.Path("out/ro").c_str(), &dir), 0);
  EXPECT_EQ(dir.st_mode & S_IRWXU, static_cast<mode_t>(S_IRWXU));
}

struct BrokenCase {
  std::string label;
  FixtureFormat format;
  std::string single_name;
  int pieces;
  int removed_piece;  // 0: none
};

void PrintTo(const BrokenCase& c, std::ostream* os) {
  *os << c.label;
}

class BrokenSetTest : public ExtractorTest, public ::testing::WithParamInterface<BrokenCase> {};

// A missing volume or a damaged stream must never look like a complete extraction.
TEST_P(BrokenSetTest, NeverSucceeds) {
  const BrokenCase& c = GetParam();
  std::string bytes = test::BuildArchive(c.format, {test::File("a.bin", test::Noise(200'000, 3)),
                                                    test::File("b.bin", test::Noise(200'000, 4))});
  const std::string first = WriteVolumes(temp_, bytes, c.pieces, c.single_name);
  if (c.removed_piece > 0) {
    fs::remove(temp_.Path("in/set.00" + std::to_string(c.removed_piece)));
  }

  const ExtractionResult result = Extract(first, temp_.Path("out"));

  EXPECT_EQ(result.failure, SetFailure::kUnreadable);
  EXPECT_EQ(result.error.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Sets, BrokenSetTest,
    ::testing::Values(BrokenCase{"ZipMissingSecond", FixtureFormat::kZip, "", 3, 2},
                      BrokenCase{"ZipMissingLast", FixtureFormat::kZip, "", 3, 3},
                      BrokenCase{"TarMissingLast", FixtureFormat::kPaxTar, "", 2, 2},
                      BrokenCase{"TarGzipMissingMiddle", FixtureFormat::kTarGzip, "", 3, 2},
                      BrokenCase{"SevenZipMissingLast", FixtureFormat::kSevenZip, "", 2, 2}),
    [](const ::testing::TestParamInfo<BrokenCase>& info) { return info.param.label; });

// libarchive answers a short write with ARCHIVE_WARN; a file limit makes the disk refuse one.
TEST_F(ExtractorTest, AWriteThatFailsOrWouldNotFitFailsTheSet) {
  const std::string first = temp_.WriteFile(
      "in/set.zip",
      test::BuildArchive(FixtureFormat::kZip,
                         {test::File("big", test::Noise(300'000, 1)), test::File("small", "s")}));
  ExtractionLimits limits;
  limits.free_bytes = 200'000;
  const ExtractionResult unfit = ExtractArchiveSet({first}, temp_.Path("unfit"), {}, limits);
  EXPECT_EQ(unfit.failure, SetFailure::kNoSpace) << unfit.error;
  EXPECT_FALSE(test::Exists(temp_.Path("unfit/big")));

  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 100'000;
  setrlimit(RLIMIT_FSIZE, &small);
  const ExtractionResult result = Extract(first, temp_.Path("out"));
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(result.failure, SetFailure::kNoSpace) << result.error;
  EXPECT_NE(result.error.find("big"), std::string::npos);
  EXPECT_FALSE(test::Exists(temp_.Path("out/small")));
}

TEST_F(ExtractorTest, ReportsWhatCannotBeRead) {
  const std::string garbage = temp_.WriteFile("in/set.rar", "this is not an archive at all");
  const std::string empty =
      temp_.WriteFile("in/empty.zip", test::BuildArchive(FixtureFormat::kZip, {}));
  const std::string blocked = temp_.WriteFile("blocked", "a file where the destination goes");

  EXPECT_NE(Extract(garbage, temp_.Path("out")).error, "");
  EXPECT_FALSE(test::Exists(temp_.Path("out")));  // made only once the archive opened
  EXPECT_NE(Extract(empty, temp_.Path("out")).error, "");
  EXPECT_NE(Extract(empty, blocked + "/sub").error.find("destination"), std::string::npos);
  EXPECT_NE(ExtractArchiveSet({}, temp_.Path("out")).error, "");
}

}  // namespace
}  // namespace qs
