#include "companion/extractor.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <system_error>

#include "companion/entry_policy.h"

// What libarchive 3.6 (Debian 12) does with volume sets, and so what this extractor can do:
// - The RAR 4 and RAR5 readers follow an entry from one volume into the next only when every
//   volume is handed to archive_read_open_filenames in order; they never look for volumes
//   themselves, hence FindVolumes.
// - A RAR5 entry that continues into a volume missing from the list ends early with a clean
//   end of data instead of an error, so the bytes written are checked against the entry size.
// - Encrypted RAR entries cannot be read at all, and encrypted ZIP entries need a password that
//   is never given (nobody is there to answer): both are reported and skipped.
// - ZIP and 7z find their directory by seeking over the volumes as one stream, which is what
//   makes byte splits (x.001, x.002, ...) of them readable; opening a set therefore touches
//   every volume once before the first entry.
// - Split ZIP sets (x.z01, ..., x.zip) are not readable: their offsets count per disk.

namespace qs {

namespace {

namespace fs = std::filesystem;

// No ARCHIVE_EXTRACT_OWNER, _PERM, _ACL, _XATTR or _FFLAGS: files get their mode bits under the
// umask, never set-id bits, owners or attributes from a downloaded archive.
constexpr int kDiskOptions = ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_NODOTDOT |
                             ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                             ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS;
constexpr std::size_t kReadBlockSize = 64 * 1024;
// Header errors in a row after which the reader is taken to be stuck.
constexpr int kMaxHeaderFailures = 16;

struct ReaderFree {
  void operator()(archive* a) const { archive_read_free(a); }
};
struct WriterFree {
  void operator()(archive* a) const { archive_write_free(a); }
};
using Reader = std::unique_ptr<archive, ReaderFree>;
using Writer = std::unique_ptr<archive, WriterFree>;

// Enters a directory and returns to the previous working directory when destroyed.
class WorkingDirectory {
 public:
  WorkingDirectory() : saved_(open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
  ~WorkingDirectory() {
    if (saved_ >= 0) {
      if (entered_ && fchdir(saved_) != 0) {
        // Nothing sensible is left to do: the caller's paths are absolute.
      }
      close(saved_);
    }
  }
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;

  bool Enter(const std::string& directory) {
    entered_ = chdir(directory.c_str()) == 0;
    return entered_;
  }

 private:
  int saved_;
  bool entered_ = false;
};

// "/out//movie/" → "/out/movie": Quarrystream's target directories may hold a doubled separator.
std::string NormalizeDirectory(std::string_view directory) {
  std::string normal;
  for (char c : directory) {
    if (c != '/' || normal.empty() || normal.back() != '/') {
      normal.push_back(c);
    }
  }
  if (normal.size() > 1 && normal.back() == '/') {
    normal.pop_back();
  }
  return normal;
}

std::string ErrorText(archive* a) {
  const char* text = archive_error_string(a);
  return text != nullptr ? text : "unknown error";
}

std::string EntryName(archive_entry* entry) {
  if (const char* name = archive_entry_pathname(entry)) {
    return name;
  }
  if (const char* name = archive_entry_pathname_utf8(entry)) {
    return name;
  }
  return {};
}

EntryKind KindOf(archive_entry* entry) {
  if (archive_entry_hardlink(entry) != nullptr) {
    return EntryKind::kHardlink;
  }
  switch (archive_entry_filetype(entry)) {
    case AE_IFREG:
      return EntryKind::kRegular;
    case AE_IFDIR:
      return EntryKind::kDirectory;
    case AE_IFLNK:
      return EntryKind::kSymlink;
    default:
      return EntryKind::kSpecial;
  }
}

std::string LinkTarget(archive_entry* entry, EntryKind kind) {
  const char* target = kind == EntryKind::kHardlink  ? archive_entry_hardlink(entry)
                       : kind == EntryKind::kSymlink ? archive_entry_symlink(entry)
                                                     : nullptr;
  return target != nullptr ? target : "";
}

enum class CopyOutcome { kDone, kEntryFailed, kFatal };

struct CopyResult {
  CopyOutcome outcome = CopyOutcome::kDone;
  std::string reason;
};

class SetExtraction {
 public:
  SetExtraction(archive* reader, archive* disk, const ExtractionCallbacks& callbacks)
      : reader_(reader), disk_(disk), callbacks_(callbacks) {}

  ExtractionResult Run() {
    int header_failures = 0;
    for (;;) {
      archive_entry* entry = nullptr;
      const int r = archive_read_next_header(reader_, &entry);
      if (r == ARCHIVE_EOF) {
        break;
      }
      if (r == ARCHIVE_FATAL ||
          ((r == ARCHIVE_FAILED || r == ARCHIVE_RETRY) && ++header_failures > kMaxHeaderFailures)) {
        result_.error = "cannot read the archive: " + ErrorText(reader_);
        return result_;
      }
      if (r == ARCHIVE_FAILED) {
        Problem("skipped an unreadable entry: " + ErrorText(reader_));
        continue;
      }
      if (r == ARCHIVE_RETRY) {
        continue;
      }
      header_failures = 0;
      if (!WriteEntry(entry)) {
        return result_;
      }
    }
    if (archive_write_close(disk_) < ARCHIVE_WARN) {
      result_.error = "cannot finish the extracted files: " + ErrorText(disk_);
    } else if (result_.entries_written == 0 && result_.entries_skipped == 0) {
      result_.error = "the archive holds no entries";
    }
    return result_;
  }

 private:
  void Problem(const std::string& message) {
    ++result_.entries_skipped;
    if (callbacks_.on_problem) {
      callbacks_.on_problem(message);
    }
  }

  // False when the whole extraction has to stop; result_.error then says why.
  bool WriteEntry(archive_entry* entry) {
    const std::string name = EntryName(entry);
    const EntryKind kind = KindOf(entry);
    const std::string reason =
        RefusalReason(kind, name, LinkTarget(entry, kind), archive_entry_is_encrypted(entry) != 0);
    if (!reason.empty()) {
      // Its data is passed over by the next archive_read_next_header.
      Problem("skipped " + name + ": " + reason);
      return true;
    }
    // Directories stay enterable and writable for their owner, so later entries fit in them.
    const mode_t perm = archive_entry_perm(entry) & 0777;
    archive_entry_set_perm(entry, kind == EntryKind::kDirectory ? (perm | 0700) : perm);

    if (callbacks_.on_entry) {
      callbacks_.on_entry(name);
    }
    const int header = archive_write_header(disk_, entry);
    if (header == ARCHIVE_FATAL) {
      result_.error = "cannot write " + name + ": " + ErrorText(disk_);
      return false;
    }
    if (header < ARCHIVE_WARN) {
      Problem("skipped " + name + ": " + ErrorText(disk_));
      return true;
    }
    if (kind == EntryKind::kRegular || kind == EntryKind::kHardlink) {
      const CopyResult copy = CopyData(entry, kind);
      if (copy.outcome == CopyOutcome::kFatal) {
        result_.error = copy.reason;
        return false;
      }
      if (copy.outcome == CopyOutcome::kEntryFailed) {
        archive_write_finish_entry(disk_);
        Problem(name + " is incomplete: " + copy.reason);
        return true;
      }
    }
    if (archive_write_finish_entry(disk_) < ARCHIVE_WARN) {
      Problem(name + " is incomplete: " + ErrorText(disk_));
      return true;
    }
    ++result_.entries_written;
    return true;
  }

  CopyResult CopyData(archive_entry* entry, EntryKind kind) {
    std::int64_t end = 0;
    int retries = 0;
    for (;;) {
      const void* block = nullptr;
      std::size_t size = 0;
      la_int64_t offset = 0;
      const int r = archive_read_data_block(reader_, &block, &size, &offset);
      if (r == ARCHIVE_EOF) {
        break;
      }
      if (r == ARCHIVE_RETRY && ++retries <= kMaxHeaderFailures) {
        continue;
      }
      if (r < ARCHIVE_WARN) {
        return {r == ARCHIVE_FATAL ? CopyOutcome::kFatal : CopyOutcome::kEntryFailed,
                "cannot read " + EntryName(entry) + ": " + ErrorText(reader_)};
      }
      if (size == 0) {
        continue;
      }
      // A failing disk (full, read-only) fails every later entry too: stop at the first.
      if (archive_write_data_block(disk_, block, size, offset) < ARCHIVE_WARN) {
        return {CopyOutcome::kFatal, "cannot write " + EntryName(entry) + ": " + ErrorText(disk_)};
      }
      end = std::max<std::int64_t>(end, offset + static_cast<std::int64_t>(size));
    }
    // Sparse entries may end in a hole that no block covers; the writer extends those itself.
    if (kind == EntryKind::kRegular && archive_entry_size_is_set(entry) != 0 &&
        archive_entry_sparse_count(entry) == 0 && end < archive_entry_size(entry)) {
      return {CopyOutcome::kEntryFailed, "only " + std::to_string(end) + " of " +
                                             std::to_string(archive_entry_size(entry)) +
                                             " bytes could be read (is a volume missing?)"};
    }
    return {};
  }

  archive* reader_;
  archive* disk_;
  const ExtractionCallbacks& callbacks_;
  ExtractionResult result_;
};

}  // namespace

ExtractionResult ExtractArchiveSet(const std::vector<std::string>& volumes,
                                   std::string_view destination,
                                   const ExtractionCallbacks& callbacks) {
  ExtractionResult result;
  if (volumes.empty()) {
    result.error = "no volume to read";
    return result;
  }
  // Absolute, because later volumes are opened after the working directory has changed.
  std::vector<std::string> absolute;
  for (const std::string& volume : volumes) {
    std::error_code ec;
    const fs::path path = fs::absolute(volume, ec);
    absolute.push_back(ec ? volume : path.string());
  }
  std::vector<const char*> names;
  for (const std::string& volume : absolute) {
    names.push_back(volume.c_str());
  }
  names.push_back(nullptr);

  const std::string root = NormalizeDirectory(destination);
  std::error_code ec;
  fs::create_directories(root, ec);
  if (ec && !fs::is_directory(root)) {
    result.error = "cannot create the destination " + root + ": " + ec.message();
    return result;
  }

  // Declared first so that it is left last: freeing the writer applies deferred directory
  // times and modes by relative name, which must still resolve inside the destination.
  WorkingDirectory working_directory;
  Reader reader(archive_read_new());
  Writer disk(archive_write_disk_new());
  if (!reader || !disk) {
    result.error = "out of memory";
    return result;
  }
  archive_read_support_filter_all(reader.get());
  archive_read_support_format_all(reader.get());
  archive_write_disk_set_options(disk.get(), kDiskOptions);
  if (archive_read_open_filenames(reader.get(), names.data(), kReadBlockSize) != ARCHIVE_OK) {
    result.error = "cannot open " + volumes.front() + ": " + ErrorText(reader.get());
    return result;
  }

  // Inside the destination, the archive's own relative names are all libarchive sees, so its
  // checks for "..", absolute names and symlinked directories cover exactly what the archive
  // controls, whatever links the destination's own path goes through.
  if (!working_directory.Enter(root)) {
    result.error = "cannot enter the destination " + root + ": " +
                   std::error_code(errno, std::generic_category()).message();
    return result;
  }
  return SetExtraction(reader.get(), disk.get(), callbacks).Run();
}

}  // namespace qs
