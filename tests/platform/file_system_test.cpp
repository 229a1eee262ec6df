#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

using test::Exists;
using test::ReadFile;

FileSystem& fs = RealFileSystem();

// The error of opening `path` for verification; on success `content` gets the whole file.
SystemError Verify(const std::string& path, std::string* content = nullptr) {
  std::unique_ptr<ReadableFile> file;
  const SystemError error = fs.OpenForVerify(path, file);
  EXPECT_EQ(error == kErrorSuccess, file != nullptr) << path;
  char block[4096];
  for (long got = 0;
       file != nullptr && content != nullptr && (got = file->Read(block, sizeof block)) > 0;) {
    content->append(block, static_cast<std::size_t>(got));
  }
  return error;
}

bool HasTemporaryFiles(const std::string& directory) {
  std::vector<DirectoryEntry> entries;
  fs.ListDirectory(directory, entries);
  return std::any_of(entries.begin(), entries.end(),
                     [](const auto& entry) { return entry.name.ends_with(kTemporaryFileSuffix); });
}

// A volume still being downloaded is open for writing in another process: it must answer 32
// until the writer closes it, and then read back whole.
TEST(OpenForVerify, FileAnotherProcessHoldsOpenForWritingIsASharingViolation) {
  test::TempDir dir;
  const std::string data(100000, 'd');
  const std::string path = dir.WriteFile("a.part01.rar", data);
  test::ChildWriter child(::open(path.c_str(), O_WRONLY | O_APPEND));
  ASSERT_TRUE(child.started());
  EXPECT_EQ(Verify(path), kErrorSharingViolation);
  child.Release();
  const int reader = ::open(path.c_str(), O_RDONLY);  // readers never block
  std::string content;
  EXPECT_EQ(Verify(path, &content), kErrorSuccess);
  EXPECT_EQ(content, data);
  ::close(reader);
}

// The probe's read lease stalls a writer only until the file proves longer than one read, or
// until it is closed: a writer's non-blocking open fails exactly in that window.
TEST(OpenForVerify, LetsGoOfTheLeaseAfterOneFullReadOrAtTheClose) {
  test::TempDir dir;
  const auto writer_opens = [](const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) {
      ::close(fd);
    }
    return fd >= 0;
  };
  std::string block(128 * 1024, '\0');
  const std::string small = dir.WriteFile("small.rar", "one block holds it");
  std::unique_ptr<ReadableFile> file;
  ASSERT_EQ(fs.OpenForVerify(small, file), kErrorSuccess);
  EXPECT_EQ(file->Read(block.data(), block.size()), 18);
  EXPECT_FALSE(writer_opens(small));
  EXPECT_EQ(file->Read(block.data(), block.size()), 0);
  file.reset();
  EXPECT_TRUE(writer_opens(small));

  const std::string large = dir.WriteFile("large.rar", std::string(3 * block.size() + 1, 'x'));
  ASSERT_EQ(fs.OpenForVerify(large, file), kErrorSuccess);
  EXPECT_EQ(file->Read(block.data(), block.size()), static_cast<long>(block.size()));
  EXPECT_TRUE(writer_opens(large));  // while the rest is read
}

// Volumes by path and by name in an open folder: the same answers and the same bytes, a
// leading separator adding nothing, and the folder's own volumes even after it was renamed.
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
  const auto by_name = [&](std::string_view name, std::string& content) {
    std::unique_ptr<ReadableFile> file;
    const SystemError error = folder->OpenForVerify(name, file);
    char block[128 * 1024];
    for (long got = 0; file != nullptr && (got = file->Read(block, sizeof block)) > 0;) {
      content.append(block, static_cast<std::size_t>(got));
    }
    return error;
  };
  const std::pair<std::string, SystemError> cases[] = {
      {"small.rar", kErrorSuccess},
      {"/small.rar", kErrorSuccess},
      {"large.rar", kErrorSuccess},
      {"missing.rar", kErrorFileNotFound},
      {"dangling.rar", kErrorFileNotFound},
      {"missing/x.rar", kErrorPathNotFound},
      {"small.rar/x", kErrorPathNotFound},
      {"folder", kErrorAccessDenied},
      {"", kErrorAccessDenied},
      {"fifo.rar", kErrorAccessDenied},  // and does not hang
      {"zero.rar", kErrorAccessDenied},
      {"held.rar", kErrorSharingViolation},
      {std::string("small.rar\0x", 11), kErrorInvalidName}};
  for (const auto& [name, expected] : cases) {
    std::string named;
    std::string by_path;
    EXPECT_EQ(Verify(set + name, &by_path), expected) << name;
    EXPECT_EQ(by_name(name, named), expected) << name;
    EXPECT_EQ(named, by_path) << name;
  }
  ::close(writer);
  std::string content;
  ASSERT_EQ(::rename(set.c_str(), dir.Path("renamed").c_str()), 0);
  EXPECT_EQ(by_name("large.rar", content), kErrorSuccess);
  EXPECT_EQ(content, large);
  // A folder that cannot be opened gives volumes that fail by their own paths.
  std::unique_ptr<ReadableFile> file;
  EXPECT_EQ(fs.OpenFolder(set)->OpenForVerify("small.rar", file), kErrorPathNotFound);
}

TEST(OpenForReading, SharesWithWritersAndRefusesFolders) {
  test::TempDir dir;
  const std::string path = dir.WriteFile("x.sfv", "a 1\n");
  const int writer = ::open(path.c_str(), O_WRONLY | O_APPEND);
  std::unique_ptr<ReadableFile> file;
  EXPECT_EQ(fs.OpenForReading(path, file), kErrorSuccess);
  ::close(writer);
  EXPECT_EQ(fs.OpenForReading(dir.path(), file), kErrorAccessDenied);
  EXPECT_EQ(file, nullptr);
  EXPECT_EQ(fs.OpenForReading(dir.Path("no/x.sfv"), file), kErrorPathNotFound);
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
  for (const std::string& listed : {dir.Path("top"), dir.Path("top//")}) {
    std::vector<DirectoryEntry> entries{{"stale", true}};
    ASSERT_TRUE(fs.ListDirectory(listed, entries)) << listed;
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    ASSERT_EQ(entries.size(), expected.size()) << listed;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(PathInDirectory(listed, entries[i].name), dir.Path("top/" + expected[i].first));
      EXPECT_EQ(entries[i].is_directory, expected[i].second) << entries[i].name;
    }
  }
  std::vector<DirectoryEntry> root;
  ASSERT_TRUE(fs.ListDirectory("/", root));
  EXPECT_EQ(PathInDirectory("/", root.at(0).name), "/" + root[0].name);
  for (const std::string& unlistable : {dir.Path("missing"), dir.Path("top/line\nbreak")}) {
    std::vector<DirectoryEntry> entries{{"stale", false}};
    EXPECT_FALSE(fs.ListDirectory(unlistable, entries));
    EXPECT_TRUE(entries.empty());
  }
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
  EXPECT_EQ(fs.CreateEmptyFile(dir.Path("missing/new")), kErrorPathNotFound);
  const std::string from = dir.WriteFile("x.sfv", "sfv");
  const std::string taken = dir.WriteFile("taken.oldsfv", "other");
  EXPECT_EQ(fs.MoveFileNoReplace(from, taken), kErrorFileExists);
  EXPECT_EQ(fs.MoveFileNoReplace(from, from), kErrorFileExists);
  EXPECT_EQ(ReadFile(taken), "other");
  EXPECT_EQ(fs.MoveFileNoReplace(dir.Path("none.sfv"), dir.Path("y")), kErrorFileNotFound);
  EXPECT_EQ(fs.MoveFileNoReplace(from, dir.Path("x.oldsfv")), kErrorSuccess);
  EXPECT_EQ(ReadFile(dir.Path("x.oldsfv")), "sfv");
  EXPECT_EQ(fs.DeleteFile(marker), kErrorSuccess);
  EXPECT_EQ(fs.DeleteFile(marker), kErrorFileNotFound);
  EXPECT_EQ(fs.DeleteFile(dir.Path("missing/x")), kErrorPathNotFound);
  dir.MakeDir("folder");
  EXPECT_EQ(fs.DeleteFile(dir.Path("folder")), kErrorAccessDenied);
  EXPECT_TRUE(Exists(dir.Path("folder")));
}

}  // namespace
}  // namespace qs
