#include "tests/companion/archive_builder.h"

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdlib>
#include <memory>

namespace qs::test {

namespace {

la_ssize_t Append(archive*, void* sink, const void* buffer, size_t length) {
  static_cast<std::string*>(sink)->append(static_cast<const char*>(buffer), length);
  return static_cast<la_ssize_t>(length);
}

void Check(int status) {
  if (status < ARCHIVE_WARN) {
    std::abort();  // a broken fixture would make every expectation meaningless
  }
}

void SetFormat(archive* writer, FixtureFormat format) {
  switch (format) {
    case FixtureFormat::kZip:
      Check(archive_write_set_format_zip(writer));
      break;
    case FixtureFormat::kEncryptedZip:
      Check(archive_write_set_format_zip(writer));
      Check(archive_write_set_options(writer, "zip:encryption=zipcrypt"));
      Check(archive_write_set_passphrase(writer, "unknown"));
      break;
    case FixtureFormat::kPaxTar:
      Check(archive_write_set_format_pax_restricted(writer));
      break;
    case FixtureFormat::kTarGzip:
      Check(archive_write_set_format_pax_restricted(writer));
      Check(archive_write_add_filter_gzip(writer));
      break;
    case FixtureFormat::kSevenZip:
      Check(archive_write_set_format_7zip(writer));
      break;
  }
}

}  // namespace

std::string BuildArchive(FixtureFormat format, const std::vector<FixtureEntry>& entries) {
  std::string bytes;
  std::unique_ptr<archive, int (*)(archive*)> writer(archive_write_new(), archive_write_free);
  SetFormat(writer.get(), format);
  Check(archive_write_open(writer.get(), &bytes, nullptr, Append, nullptr));
  for (const FixtureEntry& fixture : entries) {
    std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry(archive_entry_new(),
                                                                   archive_entry_free);
    archive_entry_set_pathname(entry.get(), fixture.name.c_str());
    archive_entry_set_perm(entry.get(), static_cast<mode_t>(fixture.perm));
    archive_entry_set_mtime(entry.get(), 1'000'000'000, 0);
    switch (fixture.type) {
      case FixtureType::kFile:
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_size(entry.get(), static_cast<la_int64_t>(fixture.content.size()));
        break;
      case FixtureType::kSparseFile:
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_size(entry.get(), la_int64_t{1} << 34);
        archive_entry_sparse_add_entry(entry.get(), 0,
                                       static_cast<la_int64_t>(fixture.content.size()));
        break;
      case FixtureType::kDirectory:
        archive_entry_set_filetype(entry.get(), AE_IFDIR);
        break;
      case FixtureType::kSymlink:
        archive_entry_set_filetype(entry.get(), AE_IFLNK);
        archive_entry_set_symlink(entry.get(), fixture.link.c_str());
        break;
      case FixtureType::kHardlink:
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_hardlink(entry.get(), fixture.link.c_str());
        break;
      case FixtureType::kCharDevice:
        archive_entry_set_filetype(entry.get(), AE_IFCHR);
        archive_entry_set_rdev(entry.get(), makedev(1, 3));
        break;
    }
    Check(archive_write_header(writer.get(), entry.get()));
    if (!fixture.content.empty()) {
      Check(static_cast<int>(
          archive_write_data(writer.get(), fixture.content.data(), fixture.content.size())));
    }
  }
  Check(archive_write_close(writer.get()));
  return bytes;
}

std::string Noise(std::size_t count, unsigned seed) {
  std::string bytes(count, '\0');
  unsigned state = seed * 2654435761u + 1;
  for (char& c : bytes) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 16);
  }
  return bytes;
}

}  // namespace qs::test
