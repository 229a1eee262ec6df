// The version of a program file as the file itself records it (the fixed part of its version
// block): the about box shows it, and a file without one reads as 0.0.0.0.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/version_block.h"

namespace qs {

class VersionInfo {
 public:
  // An empty name means the running executable.
  explicit VersionInfo(std::string file_name = {});

  // Reads the file's status and its version block. Every failing step ends the load with
  // false and leaves the numbers at 0; nothing is shown to the user.
  bool Load();

  const std::string& FileName() const { return file_name_; }
  std::int64_t ModificationTime() const { return modification_time_; }
  std::size_t BlockSize() const { return block_size_; }
  const FixedFileInfo& Fixed() const { return fixed_; }
  // High and low word of the most significant 32 bits, then of the least significant.
  const std::array<std::uint16_t, 4>& FileVersion() const { return file_version_; }
  const std::array<std::uint16_t, 4>& ProductVersion() const { return product_version_; }

  // "%u.%u.%u.%u" of the file version, for example 0.1.1.137.
  std::string FileVersionText() const;

 private:
  void Reset();

  std::string file_name_;
  std::int64_t modification_time_ = 0;
  std::unique_ptr<unsigned char[]> block_;
  std::size_t block_size_ = 0;
  FixedFileInfo fixed_;
  std::array<std::uint16_t, 4> file_version_{};
  std::array<std::uint16_t, 4> product_version_{};
};

}  // namespace qs
