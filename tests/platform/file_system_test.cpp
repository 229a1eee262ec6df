#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace qs {
namespace {

using test::Exists;
using test::ReadFile;

FileSystem& fs = RealFileSystem();

// The whole content of `file`, if any.
std::string ReadAll(ReadableFile* file) {
  std::string content;
  char block[128 * 1024];
  for (long got = 0; file != nullptr && (got = file->Read(block, sizeof block)) > 0;) {
    content.append(block, static_cast<std::size_t>(got));
  }
  return content;
}

bool HasTemporaryFiles(const std::string& directory) {
  std::vector<DirectoryEntry> entries;
  fs.ListDirectory(directory, entries);
  return std::any_of(entries.begin(), entries.end(),
                     [](const auto& entry) { return entry.name.ends_with(kTemporaryFileSuffix); });
}

// Volumes by path and by name in an open folder: the same answers and the same bytes.
TEST(OpenForVerify, AnswersWindowsErrorNumbersByPathAndByName) {
  test::TempDir dir;
  const std::string large(3 * 128 * 1024 + 5, 'L');
  dir.WriteFile("set/small.rar", "small volume");
  dir.WriteFile("set/large.rar", large);
  dir.MakeDir("set/folder");
  const std::string set = dir.Path("set") + "/";
  ASSERT_EQ(::mkfifo((set + "fifo.rar").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("/dev/zero", (set + "zero.rar").c_str()), 0);
  ASSERT_EQ(::symlink("nowhere", (set + "dangling.rar").c_str()), 0);
  const int writer = ::open(dir.WriteFile("set/held.rar", "downloading").c_str(), O_WRONLY);
  const std::unique_ptr<FolderHandle> folder = fs.OpenFolder(set);
  const std::pair<std::string, SystemError> cases[] = {
      {"small.rar", kErrorSuccess},
      {"large.rar", kErrorSuccess},
      {"missing.rar", kErrorFileNotFound},
      {"dangling.rar", kErrorFileNotFound},
      {"folder", kErrorAccessDenied},
      {"fifo.rar", kErrorAccessDenied},  // and does not hang
      {"zero.rar", kErrorAccessDenied},
      {"held.rar", kErrorSharingViolation},
      {std::string("small.rar\0x", 11), kErrorInvalidName}};
  for (const auto& [name, expected] : cases) {
    std::unique_ptr<ReadableFile> by_path;
    std::unique_ptr<ReadableFile> by_name;
    EXPECT_EQ(fs.OpenForVerify(set + name, by_path), expected) << name;
    EXPECT_EQ(folder->OpenForVerify(name, by_name), expected) << name;
    EXPECT_EQ(by_path != nullptr, expected == kErrorSuccess) << name;
    EXPECT_EQ(ReadAll(by_name.get()), ReadAll(by_path.get())) << name;
  }
  ::close(writer);
}

TEST(OpenForReading, RefusesFoldersAndFifos) {
  test::TempDir dir;
  std::unique_ptr<ReadableFile> file;
  EXPECT_EQ(fs.OpenForReading(dir.path(), file), kErrorAccessDenied);
  EXPECT_EQ(file, nullptr);
  ASSERT_EQ(::mkfifo(dir.Path("fifo.sfv").c_str(), 0644), 0);
  EXPECT_EQ(fs.OpenForReading(dir.Path("fifo.sfv"), file), kErrorAccessDenied);  // no hang
}

TEST(ListDirectory, ReportsOnlyRealDirectoriesAsDirectories) {
  test::TempDir dir;
  dir.MakeDir("top/sub dir");
  dir.WriteFile("top/line\nbreak", "");
  ASSERT_EQ(::symlink(dir.Path("top/sub dir").c_str(), dir.Path("top/link to dir").c_str()), 0);
  ASSERT_EQ(::symlink("loop", dir.Path("top/loop").c_str()), 0);
  ASSERT_EQ(::symlink("..", dir.Path("top/up").c_str()), 0);
  ASSERT_EQ(::symlink("missing", dir.Path("top/dangling").c_str()), 0);
  const std::vector<std::pair<std::string, bool>> expected = {
      {"dangling", false}, {"line\nbreak", false}, {"link to dir", false},
      {"loop", false},     {"sub dir", true},      {"up", false}};
  std::vector<DirectoryEntry> entries{{"stale", true}};
  ASSERT_TRUE(fs.ListDirectory(dir.Path("top//"), entries));
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(PathInDirectory(dir.Path("top//"), entries[i].name),
              dir.Path("top/" + expected[i].first));
    EXPECT_EQ(entries[i].is_directory, expected[i].second) << entries[i].name;
  }
  EXPECT_FALSE(fs.ListDirectory(dir.Path("top/line\nbreak"), entries));
  EXPECT_TRUE(entries.empty());
}

// A failure keeps the old file; a non-empty folder cannot be renamed over, so that failure
// comes after the temporary file was written.
TEST(WriteFileAtomically, ReplacesKeepingPermissionsAndLinksOrFailsLeavingNoTemporary) {
  test::TempDir dir;
  const std::string real = dir.WriteFile("store/dirs.cfg", "old");
  const std::string link = dir.Path("dirs.cfg");
  ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
  ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
  for (const std::string& content : {std::string("a\0b\r\n\xff", 6), std::string(3 << 20, 'q')}) {
    ASSERT_EQ(fs.WriteFileAtomically(link, content), kErrorSuccess);
    EXPECT_EQ(ReadFile(real), content);
  }
  struct stat info {};
  ASSERT_EQ(::lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  ASSERT_EQ(::stat(real.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  const std::string folder = dir.WriteFile("folder/inside", "kept");
  EXPECT_EQ(fs.WriteFileAtomically(dir.Path("missing/dirs.cfg"), "x"), kErrorPathNotFound);
  EXPECT_EQ(fs.WriteFileAtomically(real + "/dirs.cfg", "x"), kErrorPathNotFound);
  EXPECT_NE(fs.WriteFileAtomically(dir.Path("folder"), "x"), kErrorSuccess);
  EXPECT_EQ(ReadFile(folder), "kept");
  EXPECT_FALSE(HasTemporaryFiles(dir.Path("store")) || HasTemporaryFiles(dir.path()));
  EXPECT_FALSE(Exists(dir.Path("missing")));
}

// The completion's marker, rename and delete: the rename never overwrites, a folder is never
// deleted, and each failure carries the number the completion reports.
TEST(FileActions, CreateMoveAndDeleteAnswerWindowsNumbersAndNeverReplace) {
  test::TempDir dir;
  const std::string marker = dir.WriteFile("#####Quarrystream.SFV.is.OK#####", "junk");
  EXPECT_EQ(fs.CreateEmptyFile(marker), kErrorSuccess);
  EXPECT_EQ(ReadFile(marker), "");
  const std::string from = dir.WriteFile("x.sfv", "sfv");
  const std::string taken = dir.WriteFile("taken.oldsfv", "other");
  EXPECT_EQ(fs.MoveFileNoReplace(from, taken), kErrorFileExists);
  EXPECT_EQ(ReadFile(taken), "other");
  EXPECT_EQ(fs.MoveFileNoReplace(dir.Path("none.sfv"), dir.Path("y")), kErrorFileNotFound);
  EXPECT_EQ(fs.MoveFileNoReplace(from, dir.Path("x.oldsfv")), kErrorSuccess);
  EXPECT_EQ(ReadFile(dir.Path("x.oldsfv")), "sfv");
  EXPECT_EQ(fs.DeleteFile(marker), kErrorSuccess);
  dir.MakeDir("folder");
  EXPECT_EQ(fs.DeleteFile(dir.Path("folder")), kErrorAccessDenied);
  EXPECT_TRUE(Exists(dir.Path("folder")));
}

}  // namespace
}  // namespace qs
