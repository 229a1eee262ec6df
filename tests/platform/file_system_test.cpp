#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/system_error.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

using test::Exists;
using test::ReadFile;
using test::TempDir;

std::string ReadThrough(ReadableFile& file) {
  std::string content;
  char block[4096];
  long got = 0;
  while ((got = file.Read(block, sizeof block)) > 0) {
    content.append(block, static_cast<std::size_t>(got));
  }
  return content;
}

SystemError Verify(const std::string& path, std::string* content = nullptr) {
  std::unique_ptr<ReadableFile> file;
  const SystemError error = RealFileSystem().OpenForVerify(path, file);
  EXPECT_EQ(error == kErrorSuccess, file != nullptr) << path;
  if (file != nullptr && content != nullptr) {
    *content = ReadThrough(*file);
  }
  return error;
}

// Names the temporary files WriteFileAtomically may have left in `directory`.
std::vector<std::string> TemporaryFiles(const std::string& directory) {
  std::vector<DirectoryEntry> entries;
  RealFileSystem().ListDirectory(directory, entries);
  std::vector<std::string> names;
  for (const auto& entry : entries) {
    if (entry.name.ends_with(kTemporaryFileSuffix)) {
      names.push_back(entry.name);
    }
  }
  return names;
}

// A child process that holds `path` open for writing until told to close it. Only
// async-signal-safe calls run in the child.
class ChildWriter {
 public:
  explicit ChildWriter(const std::string& path) {
    int ready[2];
    int release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) {
      ADD_FAILURE() << "pipe";
      return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(release[1]);
      const int fd = ::open(path.c_str(), O_WRONLY);
      const char state = fd >= 0 ? 'o' : 'e';
      if (::write(ready[1], &state, 1) != 1) {
        ::_exit(3);
      }
      char ignored;
      while (::read(release[0], &ignored, 1) > 0) {
      }
      ::_exit(fd >= 0 ? 0 : 2);
    }
    ::close(ready[1]);
    ::close(release[0]);
    release_ = release[1];
    char state = 0;
    EXPECT_EQ(::read(ready[0], &state, 1), 1);
    EXPECT_EQ(state, 'o');
    ::close(ready[0]);
  }
  ~ChildWriter() { Close(); }

  // Returns once the child has exited, its file closed.
  void Close() {
    if (pid_ <= 0) {
      return;
    }
    ::close(release_);
    int status = 0;
    EXPECT_EQ(::waitpid(pid_, &status, 0), pid_);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
};

TEST(OpenForVerifyTest, AnswersWindowsErrorNumbers) {
  TempDir dir;
  const std::string file = dir.WriteFile("a.rar", "data");
  dir.MakeDir("folder");
  ASSERT_EQ(::mkfifo(dir.Path("fifo.rar").c_str(), 0644), 0);
  struct Case {
    std::string path;
    SystemError expected;
  } const cases[] = {
      {dir.Path("missing.rar"), kErrorFileNotFound},
      {dir.Path("missing/a.rar"), kErrorPathNotFound},
      {dir.Path("missing/deeper/a.rar"), kErrorPathNotFound},
      {file + "/a.rar", kErrorPathNotFound},
      {dir.Path("folder"), kErrorAccessDenied},
      {dir.path() + "/", kErrorAccessDenied},
      {dir.Path("fifo.rar"), kErrorAccessDenied},  // and does not hang
      {file, kErrorSuccess},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Verify(c.path), c.expected) << c.path;
  }
}

TEST(OpenForVerifyTest, ReadsTheWholeFile) {
  TempDir dir;
  std::string data(100000, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) {
    data[i] = static_cast<char>(i * 7 + i / 251);
  }
  std::string content;
  ASSERT_EQ(Verify(dir.WriteFile("big.rar", data), &content), kErrorSuccess);
  EXPECT_EQ(content, data);
}

TEST(OpenForVerifyTest, FileAnotherProcessWritesIsASharingViolationUntilClosed) {
  TempDir dir;
  const std::string path = dir.WriteFile("a.part01.rar", "complete already");
  ChildWriter writer(path);
  EXPECT_EQ(Verify(path), kErrorSharingViolation);
  EXPECT_EQ(Verify(path), kErrorSharingViolation);
  writer.Close();
  std::string content;
  EXPECT_EQ(Verify(path, &content), kErrorSuccess);
  EXPECT_EQ(content, "complete already");
}

TEST(OpenForVerifyTest, FileThisProcessWritesIsASharingViolation) {
  TempDir dir;
  const std::string path = dir.WriteFile("a.rar", "x");
  const int writer = ::open(path.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(writer, 0);
  EXPECT_EQ(Verify(path), kErrorSharingViolation);
  ::close(writer);
  EXPECT_EQ(Verify(path), kErrorSuccess);
}

TEST(OpenForVerifyTest, OtherReadersDoNotBlock) {
  TempDir dir;
  const std::string path = dir.WriteFile("a.rar", "x");
  const int reader = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(reader, 0);
  std::unique_ptr<ReadableFile> first;
  EXPECT_EQ(RealFileSystem().OpenForVerify(path, first), kErrorSuccess);
  EXPECT_EQ(Verify(path), kErrorSuccess);
  ::close(reader);
}

TEST(OpenForVerifyTest, LeavesNoLeaseThatWouldStallAWriter) {
  TempDir dir;
  const std::string path = dir.WriteFile("a.rar", "x");
  std::unique_ptr<ReadableFile> file;
  ASSERT_EQ(RealFileSystem().OpenForVerify(path, file), kErrorSuccess);
  // A non-blocking open fails with EWOULDBLOCK while a read lease is held.
  const int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
  EXPECT_GE(writer, 0) << std::strerror(errno);
  ::close(writer);
}

TEST(OpenForReadingTest, SharesWithWritersAndRefusesFolders) {
  TempDir dir;
  const std::string path = dir.WriteFile("x.sfv", "a 1\n");
  const int writer = ::open(path.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(writer, 0);
  std::unique_ptr<ReadableFile> file;
  ASSERT_EQ(RealFileSystem().OpenForReading(path, file), kErrorSuccess);
  EXPECT_EQ(ReadThrough(*file), "a 1\n");
  ::close(writer);
  EXPECT_EQ(RealFileSystem().OpenForReading(dir.path(), file), kErrorAccessDenied);
  EXPECT_EQ(file, nullptr);
  EXPECT_EQ(RealFileSystem().OpenForReading(dir.Path("none.sfv"), file), kErrorFileNotFound);
  EXPECT_EQ(RealFileSystem().OpenForReading(dir.Path("no/x.sfv"), file), kErrorPathNotFound);
}

TEST(ListDirectoryTest, ReportsOnlyRealDirectoriesAsDirectories) {
  TempDir dir;
  dir.MakeDir("top/sub dir");
  dir.WriteFile("top/file name.rar", "");
  dir.WriteFile("top/line\nbreak", "");
  ASSERT_EQ(::symlink(dir.Path("top/sub dir").c_str(), dir.Path("top/link to dir").c_str()), 0);
  ASSERT_EQ(::symlink("loop", dir.Path("top/loop").c_str()), 0);
  ASSERT_EQ(::symlink("..", dir.Path("top/up").c_str()), 0);
  ASSERT_EQ(::symlink("missing", dir.Path("top/dangling").c_str()), 0);

  for (const std::string& listed : {dir.Path("top"), dir.Path("top/"), dir.Path("top//")}) {
    std::vector<DirectoryEntry> entries{{"stale", "stale", true}};
    ASSERT_TRUE(RealFileSystem().ListDirectory(listed, entries)) << listed;
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    const std::vector<std::pair<std::string, bool>> expected = {
        {"dangling", false},    {"file name.rar", false}, {"line\nbreak", false},
        {"link to dir", false}, {"loop", false},          {"sub dir", true},
        {"up", false}};
    ASSERT_EQ(entries.size(), expected.size()) << listed;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(entries[i].name, expected[i].first);
      EXPECT_EQ(entries[i].full_path, dir.Path("top/" + expected[i].first));
      EXPECT_EQ(entries[i].is_directory, expected[i].second) << entries[i].name;
    }
  }
}

TEST(ListDirectoryTest, RootKeepsASingleSeparator) {
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(RealFileSystem().ListDirectory("/", entries));
  ASSERT_FALSE(entries.empty());
  for (const auto& entry : entries) {
    EXPECT_EQ(entry.full_path, "/" + entry.name);
  }
}

TEST(ListDirectoryTest, FailsWithNothingForWhatCannotBeListed) {
  TempDir dir;
  const std::string file = dir.WriteFile("file", "x");
  dir.MakeDir("locked/inner");
  std::vector<std::string> unlistable = {dir.Path("missing"), file, file + "/x"};
  // Permissions do not stop root.
  if (::geteuid() != 0) {
    ASSERT_EQ(::chmod(dir.Path("locked").c_str(), 0), 0);
    unlistable.push_back(dir.Path("locked"));
  }
  for (const auto& path : unlistable) {
    std::vector<DirectoryEntry> entries{{"stale", "stale", false}};
    EXPECT_FALSE(RealFileSystem().ListDirectory(path, entries)) << path;
    EXPECT_TRUE(entries.empty()) << path;
  }
}

TEST(WriteFileAtomicallyTest, CreatesAndReplacesKeepingThePermissions) {
  TempDir dir;
  const std::string path = dir.Path("dirs.cfg");
  const std::string binary("a\0b\r\n\xff", 6);
  ASSERT_EQ(RealFileSystem().WriteFileAtomically(path, binary), kErrorSuccess);
  EXPECT_EQ(ReadFile(path), binary);
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  const std::string big(3 * 1024 * 1024 + 17, 'q');
  ASSERT_EQ(RealFileSystem().WriteFileAtomically(path, big), kErrorSuccess);
  EXPECT_EQ(ReadFile(path), big);
  ASSERT_EQ(RealFileSystem().WriteFileAtomically(path, ""), kErrorSuccess);
  EXPECT_EQ(ReadFile(path), "");
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_TRUE(TemporaryFiles(dir.path()).empty());
}

TEST(WriteFileAtomicallyTest, ReplacesWhatALinkPointsTo) {
  TempDir dir;
  const std::string real = dir.WriteFile("store/dirs.cfg", "old");
  const std::string link = dir.Path("dirs.cfg");
  ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
  ASSERT_EQ(RealFileSystem().WriteFileAtomically(link, "new"), kErrorSuccess);
  struct stat info {};
  ASSERT_EQ(::lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(ReadFile(real), "new");
}

TEST(WriteFileAtomicallyTest, FailureKeepsTheOldFileAndLeavesNoTemporary) {
  TempDir dir;
  const std::string file = dir.WriteFile("file", "old");
  // A non-empty folder cannot be renamed over: the failure comes after the temporary was written.
  const std::string folder = dir.WriteFile("folder/inside", "kept");
  EXPECT_EQ(RealFileSystem().WriteFileAtomically(dir.Path("missing/dirs.cfg"), "x"),
            kErrorPathNotFound);
  EXPECT_EQ(RealFileSystem().WriteFileAtomically(file + "/dirs.cfg", "x"), kErrorPathNotFound);
  EXPECT_NE(RealFileSystem().WriteFileAtomically(dir.Path("folder"), "x"), kErrorSuccess);
  EXPECT_EQ(ReadFile(file), "old");
  EXPECT_EQ(ReadFile(folder), "kept");
  EXPECT_TRUE(TemporaryFiles(dir.path()).empty());
  EXPECT_FALSE(Exists(dir.Path("missing")));
}

TEST(CreateEmptyFileTest, CreatesOrTruncates) {
  TempDir dir;
  const std::string marker = dir.WriteFile("#####Quarrystream.SFV.is.OK#####", "junk");
  EXPECT_EQ(RealFileSystem().CreateEmptyFile(marker), kErrorSuccess);
  EXPECT_TRUE(Exists(marker));
  EXPECT_EQ(ReadFile(marker), "");
  EXPECT_EQ(RealFileSystem().CreateEmptyFile(dir.Path("new")), kErrorSuccess);
  EXPECT_TRUE(Exists(dir.Path("new")));
  EXPECT_EQ(RealFileSystem().CreateEmptyFile(dir.Path("missing/new")), kErrorPathNotFound);
}

TEST(MoveFileNoReplaceTest, NeverReplacesAnExistingTarget) {
  TempDir dir;
  const std::string from = dir.WriteFile("x.sfv", "sfv");
  const std::string taken = dir.WriteFile("taken.oldsfv", "other");
  EXPECT_EQ(RealFileSystem().MoveFileNoReplace(from, taken), kErrorFileExists);
  EXPECT_EQ(RealFileSystem().MoveFileNoReplace(from, from), kErrorFileExists);
  EXPECT_EQ(ReadFile(from), "sfv");
  EXPECT_EQ(ReadFile(taken), "other");
  EXPECT_EQ(RealFileSystem().MoveFileNoReplace(from, dir.Path("a.oldsfv/x.oldsfv")),
            kErrorPathNotFound);
  EXPECT_EQ(RealFileSystem().MoveFileNoReplace(dir.Path("none.sfv"), dir.Path("y")),
            kErrorFileNotFound);
  EXPECT_EQ(RealFileSystem().MoveFileNoReplace(from, dir.Path("x.oldsfv")), kErrorSuccess);
  EXPECT_FALSE(Exists(from));
  EXPECT_EQ(ReadFile(dir.Path("x.oldsfv")), "sfv");
}

TEST(DeleteFileTest, DeletesFilesOnly) {
  TempDir dir;
  const std::string file = dir.WriteFile("#####Quarrystream#####", "1");
  dir.MakeDir("folder");
  EXPECT_EQ(RealFileSystem().DeleteFile(file), kErrorSuccess);
  EXPECT_FALSE(Exists(file));
  EXPECT_EQ(RealFileSystem().DeleteFile(file), kErrorFileNotFound);
  EXPECT_EQ(RealFileSystem().DeleteFile(dir.Path("missing/x")), kErrorPathNotFound);
  EXPECT_EQ(RealFileSystem().DeleteFile(dir.Path("folder")), kErrorAccessDenied);
  EXPECT_TRUE(Exists(dir.Path("folder")));
}

TEST(SystemErrorFromErrnoTest, MapsToWindowsNumbers) {
  const std::pair<int, SystemError> cases[] = {
      {0, 0},        {ENOENT, 2},  {ENOTDIR, 3}, {EACCES, 5}, {EPERM, 5},
      {ENOSPC, 112}, {EEXIST, 80}, {ENOMEM, 8},  {EIO, 30},   {EMFILE, 4},
      {EAGAIN, 32},  {EINVAL, 87}, {EDQUOT, 112}};
  for (const auto& [errno_value, expected] : cases) {
    EXPECT_EQ(SystemErrorFromErrno(errno_value), expected) << errno_value;
  }
  EXPECT_NE(SystemErrorFromErrno(EOVERFLOW), kErrorSuccess);
}

}  // namespace
}  // namespace qs
