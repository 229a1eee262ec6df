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
  if (mkdtemp(pattern.data()) == nullptr) {
    std::abort();  // nothing sensible can run without a sandbox
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
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
