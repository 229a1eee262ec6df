#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/posix_file.h"
#include "platform/posix_io_hooks.h"
#include "platform/unique_fd.h"

namespace qs {

namespace {

// What the program needs to know of a file system, from one fstatfs.
enum class FileSystemKind {
  // Reads come back short only at the end of a file: ext2/3/4, XFS, Btrfs, F2FS, tmpfs.
  kLocalDisk,
  // Lease answers cannot be trusted: NFSv4 and SMB may report a writer for ever (a set would
  // never complete), FUSE servers do as they please. Reads may come back short anywhere.
  kRemote,
  kOther,
};

FileSystemKind KindOf(int fd) {
  struct statfs info {};
  if (::fstatfs(fd, &info) != 0) {
    return FileSystemKind::kRemote;  // nothing known: trust nothing
  }
  switch (static_cast<unsigned long>(info.f_type)) {
    case 0xEF53UL:      // ext2, ext3, ext4
    case 0x58465342UL:  // XFS
    case 0x9123683EUL:  // Btrfs
    case 0xF2F52010UL:  // F2FS
    case 0x01021994UL:  // tmpfs
      return FileSystemKind::kLocalDisk;
    case 0x6969UL:      // NFS
    case 0x517BUL:      // SMB
    case 0xFF534D42UL:  // CIFS
    case 0xFE534D42UL:  // SMB2
    case 0x65735546UL:  // FUSE
    case 0x01021997UL:  // 9P
    case 0x00C36400UL:  // Ceph
    case 0x5346414FUL:  // AFS
    case 0x73757245UL:  // Coda
      return FileSystemKind::kRemote;
    default:
      return FileSystemKind::kOther;
  }
}

// Whether a device's lease answers cannot be trusted (FileSystemKind::kRemote), per device, so that
// a share where every volume reports a writer costs one fstatfs, not one per volume. Entries age
// out: a device number freed by an unmount is soon given to another mount, which may be of another
// kind.
class LeaseTrustCache {
 public:
  bool Unreliable(dev_t device, int fd) {
    const auto now = std::chrono::steady_clock::now();
    {
      std::lock_guard lock(mutex_);
      for (const Entry& entry : entries_) {
        if (entry.device == device && now - entry.checked < kLifetime) {
          return entry.unreliable;
        }
      }
    }
    const bool unreliable = KindOf(fd) == FileSystemKind::kRemote;
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const Entry& entry) {
      return entry.device == device || now - entry.checked >= kLifetime;
    });
    if (entries_.size() < kMaxEntries) {
      entries_.push_back({device, unreliable, now});
    }
    return unreliable;
  }

 private:
  static constexpr auto kLifetime = std::chrono::seconds(30);
  static constexpr std::size_t kMaxEntries = 32;
  struct Entry {
    dev_t device;
    bool unreliable;
    std::chrono::steady_clock::time_point checked;
  };
  std::mutex mutex_;
  std::vector<Entry> entries_;
};

// A read lease is refused with EAGAIN while anyone (this process included) has the file open for
// writing: the closest Linux gets to a share mode that denies writers. A granted lease is kept
// until the first read proves the file longer than one read, or until the file is closed (see
// FdReadableFile); a writer that opens the file in between waits only for that read (and its
// lease-break SIGIO is ignored by the process). Returns 0 when the lease was granted, else the
// errno.
int ProbeWriters(int fd) {
  return ::fcntl(fd, F_SETLEASE, F_RDLCK) == 0 ? 0 : errno;
}

// The system reads a path up to its first NUL byte, so a path holding one would name another
// file ("x.rar" for "x.rar\0junk"): it names no file at all.
bool HoldsNul(const std::string& path) {
  return path.find('\0') != std::string::npos;
}

// Opens an existing file for reading. O_NONBLOCK keeps a FIFO with a volume's name from hanging
// the worker (FdReadableFile clears it should a read ever need that).
SystemError OpenNonBlocking(const std::string& path, UniqueFd& fd) {
  if (HoldsNul(path)) {
    return kErrorInvalidName;
  }
  fd.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  return fd.Valid() ? kErrorSuccess : ErrorForPath(errno, path);
}

// Anything but a regular file is refused, as Windows refuses a folder.
SystemError CheckRegular(const struct stat& info) {
  return S_ISREG(info.st_mode) ? kErrorSuccess : kErrorAccessDenied;
}

SystemError OpenRegularFile(const std::string& path, UniqueFd& fd) {
  if (const SystemError error = OpenNonBlocking(path, fd); error != kErrorSuccess) {
    return error;
  }
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0) {
    return SystemErrorFromErrno(errno);
  }
  return CheckRegular(info);
}

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A fresh name beside `path`; the leading dot hides it, the suffix keeps a walk from taking it
// for an SFV or a state file.
std::string TemporaryNameFor(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  const auto slash = path.find_last_of('/');
  const std::string directory = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  // Short enough that the name stays under NAME_MAX whatever the target's length.
  const std::string base = path.substr(directory.size()).substr(0, 64);
  return directory + "." + base + "." + std::to_string(::getpid()) + "-" +
         std::to_string(counter.fetch_add(1)) + std::string(kTemporaryFileSuffix);
}

class PosixFileSystem final : public FileSystem {
 public:
  PosixFileSystem() = default;
  explicit PosixFileSystem(PosixIoHooks hooks) : hooks_(std::move(hooks)) {}

  SystemError OpenForVerify(const std::string& path, std::unique_ptr<ReadableFile>& file) override {
    file.reset();
    UniqueFd fd;
    if (const SystemError error = OpenNonBlocking(path, fd); error != kErrorSuccess) {
      return error;
    }
    return VerifyOpened(std::move(fd), false, file);
  }

  std::unique_ptr<FolderHandle> OpenFolder(const std::string& folder) override;
  std::unique_ptr<FolderClaim> ClaimFolder(const std::string& folder) override;

  // The rest of OpenForVerify once the file is open.
  SystemError VerifyOpened(UniqueFd fd, bool short_reads_only_at_the_end,
                           std::unique_ptr<ReadableFile>& file) {
    // The probe comes first: a granted lease also proves a regular file (Linux grants leases on
    // nothing else), so a volume nobody writes costs no fstat. Should a kernel ever grant one on
    // a folder, its first read fails and the checksum fails as the refusal would.
    const int lease_error = ProbeWriters(fd.Get());
    if (lease_error != 0) {
      struct stat info {};
      if (::fstat(fd.Get(), &info) != 0) {
        return SystemErrorFromErrno(errno);
      }
      if (const SystemError error = CheckRegular(info); error != kErrorSuccess) {
        return error;
      }
      // EACCES (a file of another user), EINVAL (leases unsupported or disabled): just read.
      if ((lease_error == EAGAIN || lease_error == EBUSY) &&
          !lease_trust_.Unreliable(info.st_dev, fd.Get())) {
        return kErrorSharingViolation;
      }
    }
    // The granted lease is let go of, and the hint given, once the file proves longer than one
    // read; a volume read whole at once is closed (and so let go of) right after.
    file = std::make_unique<FdReadableFile>(
        std::move(fd), VolumeRead{.lease = lease_error == 0,
                                  .sequential_hint = true,
                                  .short_read_ends = short_reads_only_at_the_end});
    return kErrorSuccess;
  }

  SystemError OpenForReading(const std::string& path,
                             std::unique_ptr<ReadableFile>& file) override {
    file.reset();
    UniqueFd fd;
    if (const SystemError error = OpenRegularFile(path, fd); error != kErrorSuccess) {
      return error;
    }
    file = std::make_unique<FdReadableFile>(std::move(fd));
    return kErrorSuccess;
  }

  bool ListDirectory(const std::string& directory, std::vector<DirectoryEntry>& entries) override {
    entries.clear();
    if (HoldsNul(directory)) {
      return false;
    }
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
      return false;
    }
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
      ::close(fd);
      return false;
    }
    bool ok = true;
    for (;;) {
      errno = 0;
      const dirent* item = ::readdir(dir);
      if (item == nullptr) {
        ok = errno == 0;
        break;
      }
      const std::string_view name = item->d_name;
      if (name == "." || name == "..") {
        continue;
      }
      bool is_directory = item->d_type == DT_DIR;
      if (item->d_type == DT_UNKNOWN) {
        struct stat info {};
        is_directory =
            ::fstatat(fd, item->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode);
      }
      entries.push_back({std::string(name), is_directory});
    }
    ::closedir(dir);
    if (!ok) {
      entries.clear();
    }
    return ok;
  }

  SystemError WriteFileAtomically(const std::string& path, std::string_view content) override {
    return Replace(path, content, Links::kFollow, Flush::kToDisk);
  }

  SystemError ReplaceFileAtomically(const std::string& path, std::string_view content) override {
    return Replace(path, content, Links::kReplace, Flush::kNone);
  }

  SystemError CreateEmptyFile(const std::string& path) override {
    if (HoldsNul(path)) {
      return kErrorInvalidName;
    }
    constexpr int kFlags =
        O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW;
    UniqueFd fd(::open(path.c_str(), kFlags, 0666));
    struct stat info {};
    if (!fd.Valid() && errno == ELOOP && ::lstat(path.c_str(), &info) == 0 &&
        S_ISLNK(info.st_mode) && ::unlink(path.c_str()) == 0) {
      fd.Reset(::open(path.c_str(), kFlags | O_EXCL, 0666));
    }
    return fd.Valid() ? kErrorSuccess : ErrorForPath(errno, path);
  }

  SystemError MoveFileNoReplace(const std::string& from, const std::string& to) override {
    if (HoldsNul(from) || HoldsNul(to)) {
      return kErrorInvalidName;
    }
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
      return kErrorSuccess;
    }
    if (errno != EINVAL && errno != ENOSYS) {
      return MoveError(errno, from, to);
    }
    // The file system cannot refuse atomically: a hard link refuses an existing target; where
    // links are unsupported too, check first and accept the small window.
    if (::link(from.c_str(), to.c_str()) == 0) {
      ::unlink(from.c_str());
      return kErrorSuccess;
    }
    if (errno == EEXIST || errno == ENOENT || errno == ENOTDIR) {
      return MoveError(errno, from, to);
    }
    struct stat existing {};
    if (::lstat(to.c_str(), &existing) == 0) {
      return kErrorFileExists;
    }
    return ::rename(from.c_str(), to.c_str()) == 0 ? kErrorSuccess : MoveError(errno, from, to);
  }

  SystemError DeleteFile(const std::string& path) override {
    if (HoldsNul(path)) {
      return kErrorInvalidName;
    }
    if (::unlink(path.c_str()) == 0) {
      return kErrorSuccess;
    }
    return ErrorForPath(errno, path);
  }

 private:
  // kFollow: what a link at `path` points to is replaced and the link stays (a settings file
  // kept elsewhere stays linked). kReplace: the link itself is replaced.
  enum class Links { kFollow, kReplace };
  enum class Flush { kToDisk, kNone };

  // The replace through a temporary file and a rename, which readers see whole or not at all.
  // kToDisk also makes it survive a crash of the machine.
  SystemError Replace(const std::string& path, std::string_view content, Links links,
                      Flush flush) const {
    const bool follow_links = links == Links::kFollow;
    if (HoldsNul(path)) {
      return kErrorInvalidName;
    }
    std::string target = path;
    struct stat link_info {};
    if (follow_links && ::lstat(path.c_str(), &link_info) == 0 && S_ISLNK(link_info.st_mode)) {
      if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
      }
    }
    UniqueFd fd;
    std::string temporary;
    for (int attempt = 0; attempt < 100 && !fd.Valid(); ++attempt) {
      temporary = TemporaryNameFor(target);
      fd.Reset(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
      if (!fd.Valid() && errno != EEXIST) {
        return ErrorForPath(errno, temporary);
      }
    }
    if (!fd.Valid()) {
      return kErrorFileExists;
    }
    struct stat old_info {};
    const int old_found =
        follow_links ? ::stat(target.c_str(), &old_info) : ::lstat(target.c_str(), &old_info);
    if (old_found == 0 && S_ISREG(old_info.st_mode)) {
      ::fchmod(fd.Get(), old_info.st_mode & 07777);
    }
    int error = 0;
    if (!WriteAll(fd.Get(), content) || (flush == Flush::kToDisk && Fsync(fd.Get()) != 0)) {
      error = errno;
    }
    if (::close(fd.Release()) != 0 && error == 0) {
      error = errno;
    }
    if (error == 0 && Rename(temporary.c_str(), target.c_str()) != 0) {
      error = errno;
    }
    if (error != 0) {
      ::unlink(temporary.c_str());
      return SystemErrorFromErrno(error);
    }
    if (flush == Flush::kNone) {
      return kErrorSuccess;
    }
    // Makes the rename itself durable; the new content is already in place, so a failure here
    // changes nothing the caller could act on.
    UniqueFd directory(::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.Valid()) {
      ::fsync(directory.Get());
    }
    return kErrorSuccess;
  }

  bool WriteAll(int fd, std::string_view content) const {
    while (!content.empty()) {
      const ssize_t written = hooks_.write ? hooks_.write(fd, content.data(), content.size())
                                           : ::write(fd, content.data(), content.size());
      if (written < 0) {
        if (errno == EINTR) {
          continue;
        }
        return false;
      }
      if (written == 0) {
        errno = ENOSPC;  // a write that makes no progress would loop for ever
        return false;
      }
      content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
  }
  int Fsync(int fd) const { return hooks_.fsync ? hooks_.fsync(fd) : ::fsync(fd); }
  int Rename(const char* from, const char* to) const {
    return hooks_.rename ? hooks_.rename(from, to) : ::rename(from, to);
  }

  static SystemError MoveError(int errno_value, const std::string& from, const std::string& to) {
    if (errno_value != ENOENT) {
      return SystemErrorFromErrno(errno_value);
    }
    struct stat source {};
    return ::lstat(from.c_str(), &source) != 0 ? ErrorForPath(ENOENT, from)
                                               : ErrorForPath(ENOENT, to);
  }

  PosixIoHooks hooks_;
  LeaseTrustCache lease_trust_;
};

// A set's folder held open by an O_PATH descriptor; its volumes are opened relative to it.
class PosixFolder final : public FolderHandle {
 public:
  PosixFolder(PosixFileSystem& fs, std::string path, UniqueFd fd)
      : fs_(fs),
        path_(std::move(path)),
        fd_(std::move(fd)),
        short_reads_only_at_the_end_(KindOf(fd_.Get()) == FileSystemKind::kLocalDisk) {}

  SystemError OpenForVerify(std::string_view name, std::unique_ptr<ReadableFile>& file) override {
    file.reset();
    if (name.find('\0') != std::string_view::npos) {
      return kErrorInvalidName;
    }
    // The folder's path followed by the name, as the set check names its volumes: a leading
    // separator of the name adds nothing, and no name at all is the folder itself.
    std::string relative(name.substr(std::min(name.find_first_not_of('/'), name.size())));
    if (relative.empty()) {
      relative.push_back('.');
    }
    UniqueFd fd(
        ::openat(fd_.Get(), relative.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.Valid()) {
      const int open_error = errno;
      std::string path = path_;
      path.append(name);
      return ErrorForPath(open_error, path);
    }
    return fs_.VerifyOpened(std::move(fd), short_reads_only_at_the_end_, file);
  }

 private:
  PosixFileSystem& fs_;
  std::string path_;
  UniqueFd fd_;
  bool short_reads_only_at_the_end_;
};

std::unique_ptr<FolderHandle> PosixFileSystem::OpenFolder(const std::string& folder) {
  if (folder.empty() || folder.back() != '/' || HoldsNul(folder)) {
    return FileSystem::OpenFolder(folder);
  }
  UniqueFd fd(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!fd.Valid()) {
    return FileSystem::OpenFolder(folder);
  }
  return std::make_unique<PosixFolder>(*this, folder, std::move(fd));
}

// The lock is on the folder itself: a lock file would be one more file written into every
// download folder, and would have to be written before anything is known.
class PosixFolderClaim final : public FolderClaim {
 public:
  explicit PosixFolderClaim(UniqueFd fd) : fd_(std::move(fd)) {}

 private:
  UniqueFd fd_;  // closing it drops the lock
};

std::unique_ptr<FolderClaim> PosixFileSystem::ClaimFolder(const std::string& folder) {
  if (HoldsNul(folder)) {
    return FileSystem::ClaimFolder(folder);
  }
  UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.Valid()) {
    return FileSystem::ClaimFolder(folder);
  }
  int locked = 0;
  do {
    locked = ::flock(fd.Get(), LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    // EWOULDBLOCK: another process completes this set now. Anything else (NFS refuses an
    // exclusive lock on a folder opened for reading): no lock to be had here.
    return errno == EWOULDBLOCK ? nullptr : FileSystem::ClaimFolder(folder);
  }
  return std::make_unique<PosixFolderClaim>(std::move(fd));
}

}  // namespace

FileSystem& RealFileSystem() {
  static PosixFileSystem file_system;
  return file_system;
}

std::unique_ptr<FileSystem> MakePosixFileSystem(PosixIoHooks hooks) {
  return std::make_unique<PosixFileSystem>(std::move(hooks));
}

}  // namespace qs
