// A full disk or an I/O error while a state file or dirs.cfg is written, faulted inside the real
// replace: the old file stays as it was, no temporary file is left behind, and the caller hears
// of it (the pass ends early, the user sees "Error saving dirs.cfg"). Only dirs.cfg is flushed
// to disk, so only it can fail at the flush.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "config/memory_settings_store.h"
#include "config/user_messages.h"
#include "config/watch_list.h"
#include "config/watch_list_editor.h"
#include "platform/posix_io_hooks.h"
#include "tests/reliability/pass_rig.h"

namespace qs {
namespace {

using test::PassRig;

enum class Fault { kNone, kWriteNothing, kWriteSome, kWriteZero, kFsync, kRename };

struct FaultCase {
  const char* label;
  Fault fault;
  int error;  // errno of the failing step
  SystemError expected;
};

// The real file system with one step of the replace failing while `fault` says so.
class FaultedDisk {
 public:
  FaultedDisk() {
    PosixIoHooks hooks;
    hooks.write = [this](int fd, const void* data, std::size_t size) -> ssize_t {
      switch (fault) {
        case Fault::kWriteNothing:
          errno = error;
          return -1;
        case Fault::kWriteSome:
          // Half of the first write lands, then the disk is full.
          if (written_ == 0) {
            written_ = ::write(fd, data, std::max<std::size_t>(size / 2, 1));
            return written_;
          }
          errno = error;
          return -1;
        case Fault::kWriteZero:
          return 0;
        default:
          return ::write(fd, data, size);
      }
    };
    hooks.fsync = [this](int fd) {
      if (fault == Fault::kFsync) {
        errno = error;
        return -1;
      }
      return ::fsync(fd);
    };
    hooks.rename = [this](const char* from, const char* to) {
      if (fault == Fault::kRename) {
        errno = error;
        return -1;
      }
      return ::rename(from, to);
    };
    fs_ = MakePosixFileSystem(std::move(hooks));
  }

  FileSystem& fs() { return *fs_; }
  void Set(Fault new_fault, int new_error) {
    fault = new_fault;
    error = new_error;
    written_ = 0;
  }

  Fault fault = Fault::kNone;
  int error = 0;

 private:
  ssize_t written_ = 0;
  std::unique_ptr<FileSystem> fs_;
};

std::vector<std::string> Listing(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class AtomicWriteFaultTest : public ::testing::TestWithParam<FaultCase> {
 protected:
  void SetUp() override { disk_.Set(GetParam().fault, GetParam().error); }
  FaultedDisk disk_;
};

TEST_P(AtomicWriteFaultTest, TheOldFileStaysAndNoTemporaryIsLeft) {
  test::TempDir temp;
  const std::string path = temp.WriteFile("file", "old content\r\n");
  EXPECT_EQ(disk_.fs().WriteFileAtomically(path, std::string(100000, 'n')), GetParam().expected);
  EXPECT_EQ(test::ReadFile(path), "old content\r\n");
  EXPECT_EQ(Listing(temp.path()), std::vector<std::string>{"file"});
  // A file that did not exist yet is not created either.
  EXPECT_NE(disk_.fs().WriteFileAtomically(temp.Path("new"), "x"), kErrorSuccess);
  EXPECT_EQ(Listing(temp.path()), std::vector<std::string>{"file"});
}

TEST_P(AtomicWriteFaultTest, AStateFileRewriteEndsThePassEarlyAndTheNextPassProceeds) {
  PassRig rig;
  rig.settings.WriteInt("DeleteQuarrystream", 0);
  rig.WriteSet("in/D", "x.sfv", {{"a.rar", "aaa"}, {"b.rar", "bbb"}});
  const std::string old_state = "a.rar 1\r\nb.rar 0\r\n";
  rig.temp.WriteFile(std::string("in/D/") + kStateFileName, old_state);
  rig.WriteSet("in/D/E", "y.sfv", {{"y.rar", "yyy"}});
  rig.AddRow(rig.temp.Path("in"));
  if (GetParam().fault == Fault::kFsync) {
    // The state file is never flushed to disk, so a flush that would fail touches no set.
    EXPECT_EQ(rig.Run(disk_.fs()), 1u);
    EXPECT_EQ(test::ReadFile(rig.StateFile("in/D")), "a.rar 1\r\nb.rar 1\r\n");
    return;
  }

  // D's rewrite fails after its completion; E, a level deeper and so checked after D, is never
  // reached.
  EXPECT_EQ(rig.Run(disk_.fs()), 0u);
  EXPECT_EQ(rig.Count(WM_SCAN_FINISHED), 0u);
  EXPECT_EQ(test::ReadFile(rig.StateFile("in/D")), old_state);
  EXPECT_EQ(Listing(rig.temp.Path("in/D")),
            (std::vector<std::string>{kStateFileName, "E", "a.rar", "b.rar", "x.sfv"}));
  EXPECT_EQ(Listing(rig.temp.Path("in/D/E")), (std::vector<std::string>{"y.rar", "y.sfv"}));

  disk_.Set(Fault::kNone, 0);
  EXPECT_EQ(rig.Run(disk_.fs()), 1u);
  EXPECT_EQ(test::ReadFile(rig.StateFile("in/D")), "a.rar 1\r\nb.rar 1\r\n");
  EXPECT_EQ(test::ReadFile(rig.StateFile("in/D/E")), "y.rar 1\r\n");
}

TEST_P(AtomicWriteFaultTest, AStateFileThatCannotBeCreatedEndsThePassEarly) {
  PassRig rig;
  rig.WriteSet("in/D", "x.sfv", {{"a.rar", "aaa"}});
  rig.AddRow(rig.temp.Path("in"));
  if (GetParam().fault == Fault::kFsync) {
    EXPECT_EQ(rig.Run(disk_.fs()), 1u);
    EXPECT_EQ(rig.recorder.performed.size(), 1u);
    return;
  }
  EXPECT_EQ(rig.Run(disk_.fs()), 0u);
  EXPECT_EQ(rig.Count(WM_SCAN_FILEPROGRESS), 0u);
  EXPECT_TRUE(rig.recorder.performed.empty());
  EXPECT_EQ(Listing(rig.temp.Path("in/D")), (std::vector<std::string>{"a.rar", "x.sfv"}));
  disk_.Set(Fault::kNone, 0);
  EXPECT_EQ(rig.Run(disk_.fs()), 1u);
  EXPECT_EQ(rig.recorder.performed.size(), 1u);
}

class RecordingMessages final : public UserMessages {
 public:
  void ShowMessage(std::string_view text, std::string_view, MessageIcon) override {
    shown.emplace_back(text);
  }
  bool AskYesNo(std::string_view, std::string_view) override { return true; }
  std::vector<std::string> shown;
};

TEST_P(AtomicWriteFaultTest, DirsCfgKeepsItsRecordsAndTheUserIsTold) {
  test::TempDir temp;
  const std::string old_dirs = "1\r\n/in\r\n/out\r\n0\r\n/in2\r\n/out2\r\n";
  const std::string dirs = temp.WriteFile("dirs.cfg", old_dirs);
  WatchList list;
  RecordingMessages messages;
  MemorySettingsStore settings;
  WatchListEditor editor(disk_.fs(), dirs, list, messages, settings);
  editor.LoadDirs();
  const std::vector<WatchEntry> loaded = list.Snapshot();
  ASSERT_EQ(loaded.size(), 2u);

  EXPECT_EQ(editor.AddEntry("/new", "/dest"), EditResult::kSaveFailed);
  EXPECT_EQ(editor.RemoveRow(0), EditResult::kSaveFailed);
  EXPECT_EQ(editor.SetInclude(1, 1), EditResult::kSaveFailed);
  // An add saves twice, a remove once, a toggle once: each failure is told.
  EXPECT_EQ(messages.shown, std::vector<std::string>(4, "Error saving dirs.cfg"));
  EXPECT_EQ(test::ReadFile(dirs), old_dirs);
  EXPECT_EQ(Listing(temp.path()), std::vector<std::string>{"dirs.cfg"});
  // Add and remove reload the file: the list is what the file holds.
  list.SetInclude(1, 0);
  EXPECT_EQ(list.Snapshot(), loaded);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, AtomicWriteFaultTest,
    ::testing::Values(FaultCase{"DiskFullAtTheFirstWrite", Fault::kWriteNothing, ENOSPC,
                                kErrorDiskFull},
                      FaultCase{"DiskFullPartWay", Fault::kWriteSome, ENOSPC, kErrorDiskFull},
                      FaultCase{"QuotaPartWay", Fault::kWriteSome, EDQUOT, kErrorDiskFull},
                      FaultCase{"WriteWithoutProgress", Fault::kWriteZero, 0, kErrorDiskFull},
                      FaultCase{"IoErrorPartWay", Fault::kWriteSome, EIO, kErrorReadFault},
                      FaultCase{"IoErrorAtTheFlush", Fault::kFsync, EIO, kErrorReadFault},
                      FaultCase{"DiskFullAtTheFlush", Fault::kFsync, ENOSPC, kErrorDiskFull},
                      FaultCase{"IoErrorAtTheRename", Fault::kRename, EIO, kErrorReadFault}),
    [](const auto& info) { return info.param.label; });

}  // namespace
}  // namespace qs
