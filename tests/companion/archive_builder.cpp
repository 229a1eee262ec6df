#include "tests/companion/archive_builder.h"

#include <archive.h>
#include <archive_entry.h>
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

}  // namespace

std::string BuildArchive(FixtureFormat format, const std::vector<FixtureEntry>& entries) {
  // libarchive's names of the format and the filter, by FixtureFormat.
  const char* const kFormats[][2] = {
      {"zip", nullptr}, {"paxr", nullptr}, {"paxr", "gzip"}, {"7zip", nullptr}};
  const auto [format_name, filter] = kFormats[static_cast<int>(format)];
  std::string bytes;
  std::unique_ptr<archive, int (*)(archive*)> writer(archive_write_new(), archive_write_free);
  Check(archive_write_set_format_by_name(writer.get(), format_name));
  if (filter != nullptr) {
    Check(archive_write_add_filter_by_name(writer.get(), filter));
  }
  Check(archive_write_open(writer.get(), &bytes, nullptr, Append, nullptr));
  for (const FixtureEntry& fixture : entries) {
    std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry(archive_entry_new(),
                                                                   archive_entry_free);
    archive_entry_set_pathname(entry.get(), fixture.name.c_str());
    archive_entry_set_mode(entry.get(), fixture.mode);
    archive_entry_set_mtime(entry.get(), 1'000'000'000, 0);
    std::string data = fixture.content;
    if (S_ISLNK(fixture.mode)) {
      archive_entry_set_symlink(entry.get(), data.c_str());
      data.clear();
    } else if (S_ISCHR(fixture.mode)) {
      archive_entry_set_rdev(entry.get(), makedev(1, 3));
    } else if (!fixture.hardlink.empty()) {
      archive_entry_set_hardlink(entry.get(), fixture.hardlink.c_str());
    } else if (S_ISREG(fixture.mode)) {
      archive_entry_set_size(
          entry.get(), fixture.sparse ? la_int64_t{1} << 34 : static_cast<la_int64_t>(data.size()));
    }
    if (fixture.sparse) {
      archive_entry_sparse_add_entry(entry.get(), 0, static_cast<la_int64_t>(data.size()));
    }
    Check(archive_write_header(writer.get(), entry.get()));
    if (!data.empty()) {
      Check(static_cast<int>(archive_write_data(writer.get(), data.data(), data.size())));
    }
  }
  Check(archive_write_close(writer.get()));
  return bytes;
}

}  // namespace qs::test
