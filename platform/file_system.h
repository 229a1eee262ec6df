// Every file operation the scan engine and the watch list perform, behind one interface so that
// tests can inject faults (a vanished volume, a full disk, a read error) deterministically.
// The real implementation may be used from any thread (its only state is a small, locked cache of
// which devices are network or FUSE file systems).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/readable_file.h"
#include "platform/system_error.h"

namespace qs {

struct DirectoryEntry {
  std::string name;  // the entry's own name, never "." or ".."
  // True only for real directories: a symbolic link to a directory reports false, so that a
  // walk never descends into a link (a link loop must never hang a pass).
  bool is_directory = false;
};

// The full path of an entry `name` listed in `directory`: the directory with any trailing
// separators dropped, one '/', the name. Listings hand out names only: most entries of a
// folder are never opened by path, and a folder of thousands of volumes is listed often.
inline std::string PathInDirectory(std::string_view directory, std::string_view name) {
  while (!directory.empty() && directory.back() == '/') {
    directory.remove_suffix(1);
  }
  std::string path;
  path.reserve(directory.size() + 1 + name.size());
  path.append(directory).append(1, '/').append(name);
  return path;
}

// `path` without trailing separators; "/" stays as it is.
inline std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && path.back() == '/') {
    path.pop_back();
  }
  return path;
}

// `path` is `folder` or lies below it, both written without trailing separators.
inline bool IsAtOrBelow(std::string_view path, std::string_view folder) {
  return path.starts_with(folder) &&
         (path.size() == folder.size() || folder == "/" || path[folder.size()] == '/');
}

// The volumes of one set opened by name, relative to their folder as it was when it was opened:
// one path lookup for the folder, not one for every component of every volume's path.
class FolderHandle {
 public:
  virtual ~FolderHandle() = default;
  // As FileSystem::OpenForVerify of the folder's path followed by `name`. May be used from
  // several threads at once.
  virtual SystemError OpenForVerify(std::string_view name, std::unique_ptr<ReadableFile>& file) = 0;
};

// The completion of the set in one folder, claimed by this process until dropped.
class FolderClaim {
 public:
  virtual ~FolderClaim() = default;
};

// A path holding a NUL byte names no file: every operation refuses it (kErrorInvalidName, or a
// listing that fails) rather than act on the file the path names up to that byte.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens a volume for checksumming with read sharing only: a file that any process holds open
  // for writing answers kErrorSharingViolation (32). Other failures answer 2, 3 or 5. The file
  // longer than one read is read with the sequential-access hint.
  virtual SystemError OpenForVerify(const std::string& path,
                                    std::unique_ptr<ReadableFile>& file) = 0;

  // Opens a text file (SFV, state file, dirs.cfg) for reading with sharing allowed.
  virtual SystemError OpenForReading(const std::string& path,
                                     std::unique_ptr<ReadableFile>& file) = 0;

  // Opens `folder`, a path ending in '/', for opening the volumes of a set by name: the volume
  // `name` is the one whose path is the folder's followed by the name. The default joins the two
  // and calls OpenForVerify, which suits decorators and fakes. It never fails, nor does the real
  // one: a folder it cannot open gives the default, so that each volume fails by its own path.
  virtual std::unique_ptr<FolderHandle> OpenFolder(const std::string& folder);

  // Lists a directory by its full path. Returns false when it cannot be listed; `entries` then
  // holds nothing. Order is the order the system returns.
  virtual bool ListDirectory(const std::string& directory,
                             std::vector<DirectoryEntry>& entries) = 0;

  // Replaces `path` with `content` crash-safely: a temporary file in the same folder, flushed
  // to disk, renamed over the old one. On failure the old file is untouched and no temporary
  // file is left behind.
  virtual SystemError WriteFileAtomically(const std::string& path, std::string_view content) = 0;

  // For the state file, which the program keeps in folders that strangers fill: as
  // WriteFileAtomically, except that a link at `path` is replaced by the new file rather than
  // followed (a planted link must never make it write anywhere else), and that nothing is
  // flushed to disk. Readers still see the old file or the new one whole; a crash of the
  // machine may lose the new one, which costs only a check done again, while a flush would cost
  // every set a wait for the disk. The default suits file systems without links.
  virtual SystemError ReplaceFileAtomically(const std::string& path, std::string_view content) {
    return WriteFileAtomically(path, content);
  }

  // Creates (or truncates) an empty file. A link at `path` is replaced by the file, never
  // followed, for the same reason.
  virtual SystemError CreateEmptyFile(const std::string& path) = 0;

  // Renames a file; fails with kErrorFileExists when the target exists.
  virtual SystemError MoveFileNoReplace(const std::string& from, const std::string& to) = 0;

  virtual SystemError DeleteFile(const std::string& path) = 0;

  // Claims the completion of the set in `folder` (a path ending in '/') for this process: an
  // exclusive lock on the folder that the kernel drops when the process dies, taken without
  // waiting and without writing anything. Null when another process holds it. Where the folder
  // cannot be locked at all (a file system without locks) the claim is granted, as it is by
  // the default, which suits fakes.
  virtual std::unique_ptr<FolderClaim> ClaimFolder(const std::string& folder);
};

// The operating system's file system.
FileSystem& RealFileSystem();

// Reads the file at `path` whole into `content`, or its first `limit` bytes and a little more.
// Returns what OpenForReading returned, or kErrorReadFault when a read failed; `content` then
// holds what was read before the failure.
SystemError ReadWholeFile(FileSystem& fs, const std::string& path, std::string& content,
                          std::size_t limit = std::string::npos);

// The suffix of the temporary files WriteFileAtomically makes; they never end in ".sfv" nor
// carry a state-file name, so a walk can never mistake one for an SFV file or a state file.
inline constexpr std::string_view kTemporaryFileSuffix = ".qstmp";

}  // namespace qs
