// The CRC-32 of a file, as the set check computes it for each volume.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/system_error.h"

namespace qs {

// Called between read blocks of a checksum (after every full block, and after every second read
// when reads come back short); the worker rests there while paused. Returning false abandons the
// checksum (a stop was requested).
class ReadGate {
 public:
  virtual ~ReadGate() = default;
  virtual bool Continue() = 0;
};

class Crc32Engine {
 public:
  explicit Crc32Engine(FileSystem& fs, ReadGate* gate = nullptr);
  virtual ~Crc32Engine();
  Crc32Engine(const Crc32Engine&) = delete;
  Crc32Engine& operator=(const Crc32Engine&) = delete;

  // Releases any table and builds the 256-entry table of the reflected polynomial.
  void BuildTable();
  void FreeTable();

  // Returns 0 and the file's CRC, or a Windows error number (23 before BuildTable, the open
  // error of the file, kErrorOperationAborted when the gate stopped it). `crc` is complemented
  // on every path, so a call that reads nothing leaves 0 in it; after a stop it holds the CRC
  // of the blocks read so far, which nobody may use.
  SystemError FileCrc32(const std::string& path, std::uint32_t& crc);

  const std::uint32_t* Table() const { return table_.get(); }

  static constexpr std::size_t kReadBlockSize = 128 * 1024;

 private:
  FileSystem& fs_;
  ReadGate* gate_;
  std::unique_ptr<std::uint32_t[]> table_;
  std::vector<unsigned char> buffer_;  // one buffer per engine, reused for every entry
  unsigned char* block_ = nullptr;     // the read block inside it, on a cache line
};

}  // namespace qs
