#include "companion/extractor.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/companion/archive_builder.h"
#include "tests/companion/rar_writer.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

namespace fs = std::filesystem;
using test::FixtureEntry;
using test::FixtureFormat;

// Everything under `root` but outside `out`, which links are not followed into.
std::set<std::string> Outside(const std::string& root, const std::string& out) {
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.path().string().starts_with(out + "/")) {
      names.insert(entry.path().string());
    }
  }
  return names;
}

struct FormatCase {
  const char* label;
  FixtureFormat format;
  int pieces;   // byte-split volumes set.001, ...; 1: the whole archive as set.zip
  int removed;  // the piece deleted before extraction; 0: none
};

// A missing volume must never look like a complete extraction.
TEST(ExtractArchiveSet, ReadsEveryFormatWholeOrSplitAndFailsWithAPieceMissing) {
  const FormatCase cases[] = {{"Zip", FixtureFormat::kZip, 1, 0},
                              {"SevenZipSplitInTwo", FixtureFormat::kSevenZip, 2, 0},
                              {"TarSplitInThree", FixtureFormat::kPaxTar, 3, 0},
                              {"TarGzipSplitInTwo", FixtureFormat::kTarGzip, 2, 0},
                              {"ZipMissingSecond", FixtureFormat::kZip, 3, 2},
                              {"SevenZipMissingLast", FixtureFormat::kSevenZip, 2, 2},
                              {"TarGzipMissingMiddle", FixtureFormat::kTarGzip, 3, 2},
                              {"TarMissingLast", FixtureFormat::kPaxTar, 2, 2}};
  const std::string big = test::RandomBytes(300'000, 7);
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.label);
    test::TempDir temp;
    const std::string bytes =
        test::BuildArchive(c.format, {{"readme.txt", "hello\n", S_IFREG | 06755},
                                      {"sub", "", S_IFDIR | 0555},
                                      {"sub/deep/data.bin", big},
                                      {"sub/empty", ""}});
    const std::size_t step = bytes.size() / static_cast<std::size_t>(c.pieces) + 1;
    std::vector<std::string> volumes;  // up to the missing one, as the companion finds them
    for (int i = 0; i < c.pieces && i + 1 != c.removed; ++i) {
      volumes.push_back(
          temp.WriteFile(c.pieces == 1 ? "in/set.zip" : "in/set.00" + std::to_string(i + 1),
                         bytes.substr(static_cast<std::size_t>(i) * step, step)));
    }

    const ExtractionResult result = ExtractArchiveSet(volumes, temp.path() + "/out//my movie/");

    if (c.removed != 0) {
      EXPECT_EQ(result.failure, SetFailure::kUnreadable);
      EXPECT_EQ(result.error.find('\n'), std::string::npos);
      continue;
    }
    EXPECT_TRUE(result.Succeeded()) << result.error;
    EXPECT_EQ(result.entries_written, 4);
    const std::string out = temp.Path("out/my movie/");
    EXPECT_EQ(test::ReadFile(out + "readme.txt"), "hello\n");
    EXPECT_EQ(test::ReadFile(out + "sub/deep/data.bin"), big);
    EXPECT_TRUE(test::Exists(out + "sub/empty"));
    // No set-id bits from a download, and folders stay writable.
    struct stat info {};
    ASSERT_EQ(stat((out + "readme.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & (S_ISUID | S_ISGID | S_IXUSR), static_cast<mode_t>(S_IXUSR));
    ASSERT_EQ(stat((out + "sub").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & S_IRWXU, static_cast<mode_t>(S_IRWXU));
  }
}

struct HostileCase {
  const char* label;
  std::vector<FixtureEntry> entries;  // "@" at the start of a name or a link: the sandbox
};

TEST(ExtractArchiveSet, HostileMembersWriteNothingOutsideTheDestination) {
  const mode_t kLink = S_IFLNK | 0777;
  const mode_t kFile = S_IFREG | 0644;
  const HostileCase cases[] = {
      {"DotDot", {{"../escape", "bad"}}},
      {"AbsoluteName", {{"@/outside/escape", "bad"}}},
      {"SymlinkOut", {{"link", "../outside", kLink}}},
      {"HardlinkAbsolute", {{"h", "", kFile, "@/secret"}}},
      // Each link harmless on its own, together they reach /root and a file outside.
      {"LinkThroughEarlierLink",
       {{"d/u", "..", kLink},
        {"home", "d/u/d/u/../../root", kLink},
        {"pw", "", kFile, "d/u/d/u/../../secret"}}},
      {"Sparse16GiB", {{"holes", "data", kFile, "", true}}},
      {"Device", {{"null", "", S_IFCHR | 0666}}},
      // "pre" is the destination's own link to outside: not followed (libarchive's check).
      {"ThroughALinkInTheDestination", {{"pre/escape", "bad"}}}};
  for (const HostileCase& c : cases) {
    SCOPED_TRACE(c.label);
    test::TempDir temp;
    temp.WriteFile("secret", "keep");
    const std::string out = temp.MakeDir("out");
    fs::create_directory_symlink(temp.MakeDir("outside"), out + "/pre");
    std::vector<FixtureEntry> entries = c.entries;
    for (FixtureEntry& entry : entries) {
      for (std::string* text : {&entry.name, &entry.hardlink}) {
        if (text->starts_with('@')) {
          text->replace(0, 1, temp.path());
        }
      }
    }
    entries.push_back({"ok.txt", "fine"});
    const std::string first =
        temp.WriteFile("in/set.tar", test::BuildArchive(FixtureFormat::kPaxTar, entries));
    const std::set<std::string> before = Outside(temp.path(), out);
    const fs::path cwd = fs::current_path();

    const ExtractionResult result = ExtractArchiveSet({first}, out + "/");

    EXPECT_EQ(Outside(temp.path(), out), before) << "written outside the destination";
    EXPECT_EQ(fs::current_path(), cwd);
    EXPECT_EQ(test::ReadFile(temp.Path("secret")), "keep");
    EXPECT_EQ(test::ReadFile(out + "/ok.txt"), "fine");
    EXPECT_FALSE(result.Succeeded());
    EXPECT_TRUE(result.error.empty()) << result.error;
    EXPECT_EQ(result.entries_skipped, static_cast<int>(c.entries.size()));
    for (const auto& entry : fs::recursive_directory_iterator(out)) {
      EXPECT_TRUE(!entry.is_symlink() || entry.path() == out + "/pre") << entry.path();
      EXPECT_FALSE(entry.is_character_file()) << entry.path();
      if (entry.is_regular_file()) {
        EXPECT_EQ(entry.hard_link_count(), 1u) << entry.path();
      }
    }
  }
}

// libarchive answers a failed or short write with ARCHIVE_WARN: taken as written, a full disk
// would leave a file of zeros that looks whole.
TEST(ExtractArchiveSet, AWriteThatFailsFailsTheSet) {
  test::TempDir temp;
  const std::string first = temp.WriteFile(
      "in/set.zip", test::BuildArchive(FixtureFormat::kZip,
                                       {{"big", test::RandomBytes(300'000, 1)}, {"small", "s"}}));
  // A full disk: only root can mount one this small.
  const std::string full = temp.MakeDir("full");
  if (mount("tmpfs", full.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "no small tmpfs for a full disk (needs root)";
  }
  const ExtractionResult result = ExtractArchiveSet({first}, full);
  const bool small_written = test::Exists(full + "/small");
  umount2(full.c_str(), MNT_DETACH);
  EXPECT_EQ(result.failure, SetFailure::kNoSpace) << result.error;
  EXPECT_NE(result.error.find("big"), std::string::npos);
  EXPECT_FALSE(small_written);
}

// A RAR 5 entry that runs on into a volume not given ends early without an error.
TEST(ExtractArchiveSet, AnEntryOneByteShortFailsTheSet) {
  test::TempDir temp;
  const std::vector<std::string> volumes =
      test::WriteRarSet(temp.MakeDir("in") + "/s", {{"a.bin", test::RandomBytes(1000, 9)}}, 999);
  ASSERT_EQ(volumes.size(), 2u);
  EXPECT_EQ(ExtractArchiveSet({volumes[0]}, temp.Path("out")).failure, SetFailure::kUnreadable);
}

}  // namespace
}  // namespace qs
