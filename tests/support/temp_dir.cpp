#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace qs::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "qs-test-XXXXXX").string();
  if (char* made = mkdtemp(pattern.data())) {
    path_ = made;
  } else {
    std::abort();  // nothing sensible can run without a sandbox
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests may have taken permissions away; give them back so that everything can be removed.
  for (auto it = fs::recursive_directory_iterator(
           path_, fs::directory_options::skip_permission_denied, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

std::string TempDir::Path(std::string_view relative) const {
  return path_ + "/" + std::string(relative);
}

std::string TempDir::WriteFile(std::string_view relative, std::string_view content) const {
  const std::string full = Path(relative);
  std::error_code ec;
  fs::create_directories(fs::path(full).parent_path(), ec);
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  return full;
}

std::string TempDir::MakeDir(std::string_view relative) const {
  const std::string full = Path(relative);
  std::error_code ec;
  fs::create_directories(full, ec);
  return full;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() != fs::file_type::not_found && !ec;
}

}  // namespace qs::test
