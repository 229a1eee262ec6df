#include "platform/file_system.h"

#include <utility>

namespace qs {

namespace {

// Opens each volume by the folder's path and its name joined, through the file system itself.
class JoinedPathFolder final : public FolderHandle {
 public:
  JoinedPathFolder(FileSystem& fs, std::string folder) : fs_(fs), folder_(std::move(folder)) {}
  SystemError OpenForVerify(std::string_view name, std::unique_ptr<ReadableFile>& file) override {
    std::string path = folder_;
    path.append(name);
    return fs_.OpenForVerify(path, file);
  }

 private:
  FileSystem& fs_;
  std::string folder_;
};

}  // namespace

std::unique_ptr<FolderClaim> FileSystem::ClaimFolder(const std::string& /*folder*/) {
  return std::make_unique<FolderClaim>();
}

std::unique_ptr<FolderHandle> FileSystem::OpenFolder(const std::string& folder) {
  return std::make_unique<JoinedPathFolder>(*this, folder);
}

SystemError ReadWholeFile(FileSystem& fs, const std::string& path, std::string& content,
                          std::size_t limit) {
  content.clear();
  std::unique_ptr<ReadableFile> file;
  if (const SystemError error = fs.OpenForReading(path, file); error != kErrorSuccess || !file)
    return error != kErrorSuccess ? error : kErrorAccessDenied;
  char block[64 * 1024];
  while (content.size() < limit) {
    const long got = file->Read(block, sizeof block);
    if (got <= 0)
      return got == 0 ? kErrorSuccess : kErrorReadFault;
    content.append(block, static_cast<std::size_t>(got));
  }
  return kErrorSuccess;
}

}  // namespace qs
