#include "companion/extractor.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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
// - The RAR5 reader cannot read a stored file marked solid at the start of a set; such sets
//   fail as unreadable, and the caller may hand them to another program.
// - ZIP and 7z find their directory by seeking over the volumes as one stream, which is what
//   makes byte splits (x.001, x.002, ...) of them readable.
// - archive_write_data_block answers a failed or truncated write with ARCHIVE_WARN, so only
//   ARCHIVE_OK counts as written.

namespace qs {

namespace {

namespace fs = std::filesystem;

// No ARCHIVE_EXTRACT_OWNER, _PERM, _ACL, _XATTR or _FFLAGS: files get their mode bits under the
// umask, never set-id bits, owners or attributes from a downloaded archive.
constexpr int kDiskOptions = ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_NODOTDOT |
                             ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                             ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS;
constexpr std::size_t kReadBlockSize = 64 * 1024;
// ARCHIVE_RETRY answers in a row after which the reader is taken to be stuck.
constexpr int kMaxRetries = 16;

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
  return text != nullptr ? text : "the data ends early (is a volume missing or cut short?)";
}

bool MentionsEncryption(const std::string& text) {
  return text.find("ncrypt") != std::string::npos || text.find("assword") != std::string::npos;
}

// Only the formats a downloaded set can be, so that no other file (a text file read as an
// mtree list, say) is ever taken for an archive.
Reader OpenReader(const std::vector<std::string>& volumes, std::string& error) {
  Reader reader(archive_read_new());
  if (!reader) {
    error = "out of memory";
    return nullptr;
  }
  archive* a = reader.get();
  for (auto support : {archive_read_support_format_rar, archive_read_support_format_rar5,
                       archive_read_support_format_7zip, archive_read_support_format_zip,
                       archive_read_support_format_tar, archive_read_support_filter_gzip,
                       archive_read_support_filter_bzip2, archive_read_support_filter_xz,
                       archive_read_support_filter_lzma, archive_read_support_filter_zstd}) {
    support(a);
  }
  std::vector<const char*> names;
  for (const std::string& volume : volumes) {
    names.push_back(volume.c_str());
  }
  names.push_back(nullptr);
  if (volumes.empty()) {
    error = "no volume to read";
    return nullptr;
  }
  if (archive_read_open_filenames(a, names.data(), kReadBlockSize) != ARCHIVE_OK) {
    error = "cannot open " + volumes.front() + ": " + ErrorText(a);
    return nullptr;
  }
  return reader;
}

bool IsRar(archive* a) {
  const int family = archive_format(a) & ARCHIVE_FORMAT_BASE_MASK;
  return family == ARCHIVE_FORMAT_RAR || family == ARCHIVE_FORMAT_RAR_V5;
}

std::string EntryName(archive_entry* entry) {
  if (const char* name = archive_entry_pathname_utf8(entry)) {
    return name;
  }
  if (const char* name = archive_entry_pathname(entry)) {
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

std::string Bytes(std::uint64_t count) {
  return std::to_string(count) + " bytes";
}

class SetExtraction {
 public:
  SetExtraction(archive* reader, archive* disk, const ExtractionCallbacks& callbacks,
                const ExtractionLimits& limits)
      : reader_(reader), disk_(disk), callbacks_(callbacks), limits_(limits) {}

  ExtractionResult Run() {
    int retries = 0;
    for (;;) {
      archive_entry* entry = nullptr;
      const int r = archive_read_next_header(reader_, &entry);
      if (r == ARCHIVE_EOF) {
        break;
      }
      if (r == ARCHIVE_RETRY && ++retries <= kMaxRetries) {
        continue;
      }
      if (r < ARCHIVE_WARN) {
        const std::string text = ErrorText(reader_);
        return Fail(MentionsEncryption(text) ? SetFailure::kEncrypted : SetFailure::kUnreadable,
                    "cannot read the archive: " + text);
      }
      retries = 0;
      if (!WriteEntry(entry)) {
        return result_;
      }
    }
    if (archive_write_close(disk_) < ARCHIVE_WARN) {
      return Fail(SetFailure::kWrite, "cannot finish the extracted files: " + ErrorText(disk_));
    }
    if (result_.entries_written == 0 && result_.entries_skipped == 0) {
      return Fail(SetFailure::kUnreadable, "the archive holds no entries");
    }
    return result_;
  }

 private:
  ExtractionResult Fail(SetFailure failure, std::string error) {
    result_.failure = failure;
    result_.error = std::move(error);
    return result_;
  }

  void Refuse(const std::string& name, const std::string& reason) {
    ++result_.entries_skipped;
    if (callbacks_.on_problem) {
      callbacks_.on_problem("refused " + name + ": " + reason);
    }
  }

  // False when the set has failed; result_ then says why.
  bool WriteEntry(archive_entry* entry) {
    const std::string name = EntryName(entry);
    if (archive_entry_is_encrypted(entry) != 0) {
      Fail(SetFailure::kEncrypted, name + " is encrypted, and no password can be given");
      return false;
    }
    const EntryKind kind = KindOf(entry);
    std::string reason = RefusalReason(kind, name, LinkTarget(entry, kind));
    if (reason.empty() && archive_entry_sparse_count(entry) > 0) {
      reason = "sparse files are not extracted";
    }
    if (!reason.empty()) {
      Refuse(name, reason);  // its data is passed over by the next archive_read_next_header
      return true;
    }
    if (kind == EntryKind::kRegular && archive_entry_size_is_set(entry) != 0) {
      declared_ += static_cast<std::uint64_t>(std::max<la_int64_t>(archive_entry_size(entry), 0));
      if (declared_ > limits_.free_bytes) {
        Fail(SetFailure::kNoSpace, "the set does not fit: " + name + " brings it to " +
                                       Bytes(declared_) + ", with " + Bytes(limits_.free_bytes) +
                                       " free");
        return false;
      }
    }
    // Directories stay enterable and writable for their owner, so later entries fit in them.
    const mode_t perm = archive_entry_perm(entry) & 0777;
    archive_entry_set_perm(entry, kind == EntryKind::kDirectory ? (perm | 0700) : perm);

    if (callbacks_.on_entry) {
      callbacks_.on_entry(name);
    }
    const int header = archive_write_header(disk_, entry);
    if (header == ARCHIVE_FATAL) {
      Fail(WriteFailure(), "cannot write " + name + ": " + ErrorText(disk_));
      return false;
    }
    if (header < ARCHIVE_WARN) {
      Refuse(name, ErrorText(disk_));  // a name through a link, for one
      return true;
    }
    if ((kind == EntryKind::kRegular || kind == EntryKind::kHardlink) && !CopyData(entry, name)) {
      return false;
    }
    const int finished = archive_write_finish_entry(disk_);
    if (finished < ARCHIVE_WARN) {
      Fail(WriteFailure(), "cannot finish " + name + ": " + ErrorText(disk_));
      return false;
    }
    if (finished == ARCHIVE_WARN && callbacks_.on_note) {
      // Times or modes a file system cannot keep; the data is whole.
      callbacks_.on_note(name + ": " + ErrorText(disk_));
    }
    ++result_.entries_written;
    return true;
  }

  SetFailure WriteFailure() const {
    const int error = archive_errno(disk_);
    return error == ENOSPC || error == EDQUOT || error == EFBIG ? SetFailure::kNoSpace
                                                                : SetFailure::kWrite;
  }

  bool CopyData(archive_entry* entry, const std::string& name) {
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
      if (r == ARCHIVE_RETRY && ++retries <= kMaxRetries) {
        continue;
      }
      if (r < ARCHIVE_WARN || r == ARCHIVE_RETRY) {
        const std::string text = ErrorText(reader_);
        Fail(MentionsEncryption(text) ? SetFailure::kEncrypted : SetFailure::kUnreadable,
             "cannot read " + name + ": " + text);
        return false;
      }
      retries = 0;
      if (size == 0) {
        continue;
      }
      // Anything but ARCHIVE_OK lost data: a full disk, a write past the declared size.
      if (archive_write_data_block(disk_, block, size, offset) != ARCHIVE_OK) {
        Fail(WriteFailure(), "cannot write " + name + ": " + ErrorText(disk_));
        return false;
      }
      end = std::max<std::int64_t>(end, offset + static_cast<std::int64_t>(size));
      result_.bytes_written += size;
      if (callbacks_.on_progress) {
        callbacks_.on_progress(result_.bytes_written);
      }
    }
    if (KindOf(entry) == EntryKind::kRegular && archive_entry_size_is_set(entry) != 0 &&
        end < archive_entry_size(entry)) {
      Fail(SetFailure::kUnreadable,
           "cannot read " + name + ": only " + std::to_string(end) + " of " +
               Bytes(static_cast<std::uint64_t>(archive_entry_size(entry))) +
               " are there (is a volume missing or cut short?)");
      return false;
    }
    return true;
  }

  archive* reader_;
  archive* disk_;
  const ExtractionCallbacks& callbacks_;
  const ExtractionLimits& limits_;
  std::uint64_t declared_ = 0;
  ExtractionResult result_;
};

std::vector<std::string> Absolute(const std::vector<std::string>& volumes) {
  std::vector<std::string> absolute;
  for (const std::string& volume : volumes) {
    std::error_code ec;
    const fs::path path = fs::absolute(volume, ec);
    absolute.push_back(ec ? volume : path.string());
  }
  return absolute;
}

}  // namespace

SetSurvey SurveyArchiveSet(const std::vector<std::string>& volumes) {
  SetSurvey survey;
  Reader reader = OpenReader(volumes, survey.error);
  if (!reader) {
    survey.failure = SetFailure::kUnreadable;
    return survey;
  }
  survey.size_known = true;
  for (;;) {
    archive_entry* entry = nullptr;
    const int r = archive_read_next_header(reader.get(), &entry);
    survey.rar = survey.rar || IsRar(reader.get());
    if (const char* format = archive_format_name(reader.get())) {
      survey.format = format;
    }
    if (r == ARCHIVE_EOF) {
      break;
    }
    if (r < ARCHIVE_WARN) {
      survey.error = "cannot read " + volumes.front() + ": " + ErrorText(reader.get());
      survey.failure =
          MentionsEncryption(survey.error) ? SetFailure::kEncrypted : SetFailure::kUnreadable;
      break;
    }
    if (archive_entry_is_encrypted(entry) != 0) {
      survey.failure = SetFailure::kEncrypted;
      survey.error = EntryName(entry) + " is encrypted, and no password can be given";
      break;
    }
    // Compressed tar keeps each header behind all the data before it, and 7z skips over
    // solid data by decompressing it: walking those headers would cost a whole extraction.
    if (archive_filter_count(reader.get()) > 1 ||
        (archive_format(reader.get()) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_7ZIP) {
      survey.size_known = false;
      break;
    }
    if (KindOf(entry) == EntryKind::kRegular) {
      if (archive_entry_size_is_set(entry) == 0) {
        survey.size_known = false;
      }
      survey.unpacked_bytes +=
          static_cast<std::uint64_t>(std::max<la_int64_t>(archive_entry_size(entry), 0));
    }
  }
  survey.size_known = survey.size_known && survey.failure == SetFailure::kNone;
  return survey;
}

ExtractionResult ExtractArchiveSet(const std::vector<std::string>& volumes,
                                   std::string_view directory, const ExtractionCallbacks& callbacks,
                                   const ExtractionLimits& limits) {
  ExtractionResult result;
  result.failure = SetFailure::kUnreadable;
  // Absolute, because later volumes are opened after the working directory has changed.
  Reader reader = OpenReader(Absolute(volumes), result.error);
  if (!reader) {
    return result;
  }
  const std::string root = NormalizeDirectory(directory);
  std::error_code ec;
  fs::create_directories(root, ec);
  // Declared first so that it is left last: freeing the writer applies deferred directory
  // times and modes by relative name, which must still resolve inside the folder.
  WorkingDirectory working_directory;
  Writer disk(archive_write_disk_new());
  if (!disk) {
    result.error = "out of memory";
    return result;
  }
  archive_write_disk_set_options(disk.get(), kDiskOptions);
  // Inside the folder, the archive's own relative names are all libarchive sees, so its checks
  // for "..", absolute names and symlinked directories cover exactly what the archive controls.
  if (!working_directory.Enter(root)) {
    result.failure = SetFailure::kWrite;
    result.error = "cannot enter the destination " + root + ": " +
                   (ec ? ec.message() : std::error_code(errno, std::generic_category()).message());
    return result;
  }
  return SetExtraction(reader.get(), disk.get(), callbacks, limits).Run();
}

}  // namespace qs
