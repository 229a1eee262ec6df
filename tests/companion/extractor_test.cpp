#include "companion/extractor.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "companion/volume_set.h"
#include "tests/companion/archive_builder.h"
#include "tests/companion/rar_writer.h"
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

struct Extraction {
  ExtractionResult result;
  std::vector<std::string> names;
  std::vector<std::string> problems;
};

// The set that starts at `first_volume`, as the companion finds it, into `destination`.
Extraction Extract(const std::string& first_volume, const std::string& destination) {
  Extraction run;
  ExtractionCallbacks callbacks;
  callbacks.on_entry = [&run](std::string_view name) { run.names.emplace_back(name); };
  callbacks.on_problem = [&run](std::string_view line) { run.problems.emplace_back(line); };
  const fs::path before = fs::current_path();
  run.result = ExtractArchiveSet(FindVolumes(first_volume, IsFile), destination, callbacks);
  EXPECT_EQ(fs::current_path(), before);
  return run;
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
                              {"ZipSplitInTwo", FixtureFormat::kZip, 2, 0},
                              {"TarSplitInThree", FixtureFormat::kPaxTar, 3, 0},
                              {"TarGzipSplitInTwo", FixtureFormat::kTarGzip, 2, 0},
                              {"SevenZipSplitInTwo", FixtureFormat::kSevenZip, 2, 0},
                              {"ZipMissingSecond", FixtureFormat::kZip, 3, 2},
                              {"ZipMissingLast", FixtureFormat::kZip, 3, 3},
                              {"TarMissingLast", FixtureFormat::kPaxTar, 2, 2},
                              {"TarGzipMissingMiddle", FixtureFormat::kTarGzip, 3, 2},
                              {"SevenZipMissingLast", FixtureFormat::kSevenZip, 2, 2}};
  const std::string big = test::Noise(300'000, 7);
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.label);
    test::TempDir temp;
    const std::string bytes = test::BuildArchive(
        c.format, {test::File("readme.txt", "hello\n", 06755), test::Directory("sub", 0555),
                   test::File("sub/deep/data.bin", big), test::File("sub/empty", "")});
    const std::size_t step = bytes.size() / static_cast<std::size_t>(c.pieces) + 1;
    for (int i = 0; i < c.pieces; ++i) {
      if (i + 1 != c.removed) {
        temp.WriteFile(c.pieces == 1 ? "in/set.zip" : "in/set.00" + std::to_string(i + 1),
                       bytes.substr(static_cast<std::size_t>(i) * step, step));
      }
    }

    const Extraction run = Extract(temp.Path(c.pieces == 1 ? "in/set.zip" : "in/set.001"),
                                   temp.path() + "/out//my movie/");

    if (c.removed != 0) {
      EXPECT_EQ(run.result.failure, SetFailure::kUnreadable);
      EXPECT_EQ(run.result.error.find('\n'), std::string::npos);
      continue;
    }
    EXPECT_TRUE(run.result.Succeeded()) << run.result.error;
    EXPECT_EQ(run.result.entries_written, 4);
    EXPECT_TRUE(run.problems.empty());
    // Writers add a '/' to directory names; 7z stores directories last.
    EXPECT_EQ(std::set<std::string>(run.names.begin(), run.names.end()),
              (std::set<std::string>{"readme.txt", "sub/", "sub/deep/data.bin", "sub/empty"}));
    const std::string out = temp.Path("out/my movie/");
    EXPECT_EQ(test::ReadFile(out + "readme.txt"), "hello\n");
    EXPECT_EQ(test::ReadFile(out + "sub/deep/data.bin"), big);
    EXPECT_TRUE(IsFile(out + "sub/empty"));
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
  const FixtureType kSymlink = FixtureType::kSymlink;
  const FixtureType kHardlink = FixtureType::kHardlink;
  const HostileCase cases[] = {
      {"DotDot", {test::File("../escape", "bad")}},
      {"AbsoluteName", {test::File("@/outside/escape", "bad")}},
      {"SymlinkOut", {test::Link(kSymlink, "link", "../outside")}},
      {"HardlinkAbsolute", {test::Link(kHardlink, "h", "@/secret")}},
      // Each link harmless on its own, together they reach /root and a file outside.
      {"LinkThroughEarlierLink",
       {test::Link(kSymlink, "d/u", ".."), test::Link(kSymlink, "home", "d/u/d/u/../../root"),
        test::Link(kHardlink, "pw", "d/u/d/u/../../secret")}},
      {"Sparse16GiB", {{"holes", "data", FixtureType::kSparseFile, "", 0644}}},
      {"Device", {{"null", "", FixtureType::kCharDevice, "", 0666}}},
      // "pre" is the destination's own link to outside: not followed (libarchive's check).
      {"ThroughALinkInTheDestination", {test::File("pre/escape", "bad")}}};
  for (const HostileCase& c : cases) {
    SCOPED_TRACE(c.label);
    test::TempDir temp;
    temp.WriteFile("secret", "keep");
    const std::string out = temp.MakeDir("out");
    fs::create_directory_symlink(temp.MakeDir("outside"), out + "/pre");
    std::vector<FixtureEntry> entries = c.entries;
    for (FixtureEntry& entry : entries) {
      for (std::string* text : {&entry.name, &entry.link}) {
        if (text->starts_with('@')) {
          text->replace(0, 1, temp.path());
        }
      }
    }
    entries.push_back(test::File("ok.txt", "fine"));
    const std::string first =
        temp.WriteFile("in/set.tar", test::BuildArchive(FixtureFormat::kPaxTar, entries));
    const std::set<std::string> before = Listing(temp.path(), out);

    const Extraction run = Extract(first, out + "/");

    EXPECT_EQ(Listing(temp.path(), out), before) << "written outside the destination";
    EXPECT_EQ(test::ReadFile(temp.Path("secret")), "keep");
    EXPECT_EQ(test::ReadFile(out + "/ok.txt"), "fine");
    EXPECT_FALSE(run.result.Succeeded());
    EXPECT_TRUE(run.result.error.empty()) << run.result.error;
    EXPECT_EQ(run.result.entries_skipped, static_cast<int>(c.entries.size()));
    EXPECT_EQ(run.problems.size(), c.entries.size());
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
TEST(ExtractArchiveSet, AWriteThatFailsOrWouldNotFitFailsTheSet) {
  test::TempDir temp;
  const std::string first = temp.WriteFile(
      "in/set.zip",
      test::BuildArchive(FixtureFormat::kZip,
                         {test::File("big", test::Noise(300'000, 1)), test::File("small", "s")}));
  ExtractionLimits limits;
  limits.free_bytes = 200'000;
  const ExtractionResult unfit = ExtractArchiveSet({first}, temp.Path("unfit"), {}, limits);
  EXPECT_EQ(unfit.failure, SetFailure::kNoSpace) << unfit.error;
  EXPECT_FALSE(test::Exists(temp.Path("unfit/big")));

  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 100'000;
  setrlimit(RLIMIT_FSIZE, &small);
  const ExtractionResult result = Extract(first, temp.Path("out")).result;
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(result.failure, SetFailure::kNoSpace) << result.error;
  EXPECT_NE(result.error.find("big"), std::string::npos);
  EXPECT_FALSE(test::Exists(temp.Path("out/small")));

  const std::string full = temp.MakeDir("full");
  if (mount("tmpfs", full.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "no small tmpfs for a full disk (needs root)";
  }
  const ExtractionResult on_full = Extract(first, full).result;
  umount2(full.c_str(), MNT_DETACH);
  EXPECT_EQ(on_full.failure, SetFailure::kNoSpace) << on_full.error;
}

// A RAR 5 entry that runs on into a volume not given ends early without an error.
TEST(ExtractArchiveSet, AnEntryOneByteShortFailsTheSet) {
  test::TempDir temp;
  const std::vector<std::string> volumes =
      test::WriteRarSet(temp.MakeDir("in") + "/s", test::RarFormat::kRar5,
                        test::RarNaming::kPartNumbered, {{"a.bin", test::Noise(1000, 9)}}, 999);
  ASSERT_EQ(volumes.size(), 2u);
  fs::remove(volumes[1]);
  EXPECT_EQ(Extract(volumes[0], temp.Path("out")).result.failure, SetFailure::kUnreadable);
}

TEST(ExtractArchiveSet, ReportsWhatCannotBeRead) {
  test::TempDir temp;
  const std::string garbage = temp.WriteFile("in/set.rar", "this is not an archive at all");
  const std::string empty =
      temp.WriteFile("in/empty.zip", test::BuildArchive(FixtureFormat::kZip, {}));
  const std::string blocked = temp.WriteFile("blocked", "a file where the destination goes");

  EXPECT_NE(Extract(garbage, temp.Path("out")).result.error, "");
  EXPECT_FALSE(test::Exists(temp.Path("out")));  // made only once the archive opened
  EXPECT_NE(Extract(empty, temp.Path("out")).result.error, "");
  EXPECT_NE(Extract(empty, blocked + "/sub").result.error.find("destination"), std::string::npos);
  EXPECT_NE(ExtractArchiveSet({}, temp.Path("out")).error, "");
}

}  // namespace
}  // namespace qs
