#include "platform/version_info.h"

#include <sys/stat.h>

#include <cstring>
#include <utility>

#include "platform/executable_paths.h"

namespace qs {

namespace {

std::uint32_t LittleEndianWord(const unsigned char* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
         (static_cast<std::uint32_t>(bytes[2]) << 16) |
         (static_cast<std::uint32_t>(bytes[3]) << 24);
}

std::array<std::uint16_t, 4> SplitVersion(std::uint32_t most, std::uint32_t least) {
  return {static_cast<std::uint16_t>(most >> 16), static_cast<std::uint16_t>(most & 0xFFFF),
          static_cast<std::uint16_t>(least >> 16), static_cast<std::uint16_t>(least & 0xFFFF)};
}

}  // namespace

VersionInfo::VersionInfo(std::string file_name) : file_name_(std::move(file_name)) {
  if (file_name_.empty()) {
    file_name_ = ExecutablePath();
  }
}

void VersionInfo::Reset() {
  block_.reset();
  block_size_ = 0;
  fixed_ = FixedFileInfo{};
  file_version_ = {};
  product_version_ = {};
}

bool VersionInfo::Load() {
  Reset();
  struct stat status {};
  if (file_name_.empty() || ::stat(file_name_.c_str(), &status) != 0) {
    return false;
  }
  modification_time_ = static_cast<std::int64_t>(status.st_mtime);
  if (modification_time_ == 0) {
    return false;
  }
  const std::vector<unsigned char> block = ReadVersionBlock(file_name_);
  if (block.empty()) {
    return false;
  }
  // One byte more than the block, zeroed, as the platform's reader allocates it.
  block_size_ = block.size();
  block_ = std::make_unique<unsigned char[]>(block_size_ + 1);
  std::memcpy(block_.get(), block.data(), block_size_);

  if (block_size_ < kFixedFileInfoSize ||
      LittleEndianWord(block_.get()) != kFixedFileInfoSignature) {
    Reset();
    return false;
  }
  std::uint32_t words[13];
  for (std::size_t i = 0; i < 13; ++i) {
    words[i] = LittleEndianWord(block_.get() + 4 * i);
  }
  fixed_ = FixedFileInfo{words[0], words[1], words[2], words[3],  words[4],  words[5], words[6],
                         words[7], words[8], words[9], words[10], words[11], words[12]};
  file_version_ = SplitVersion(fixed_.dwFileVersionMS, fixed_.dwFileVersionLS);
  product_version_ = SplitVersion(fixed_.dwProductVersionMS, fixed_.dwProductVersionLS);
  return true;
}

std::string VersionInfo::FileVersionText() const {
  return std::to_string(file_version_[0]) + "." + std::to_string(file_version_[1]) + "." +
         std::to_string(file_version_[2]) + "." + std::to_string(file_version_[3]);
}

}  // namespace qs
