// A per-test sandbox folder, removed with everything in it when the test ends.
#pragma once

#include <string>
#include <string_view>

namespace qs::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, without a trailing separator.
  const std::string& path() const { return path_; }
  // path() + '/' + relative.
  std::string Path(std::string_view relative) const;

  // Writes `content` to `relative` (parents created); returns the full path.
  std::string WriteFile(std::string_view relative, std::string_view content) const;
  std::string MakeDir(std::string_view relative) const;

 private:
  std::string path_;
};

// The whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);

}  // namespace qs::test
