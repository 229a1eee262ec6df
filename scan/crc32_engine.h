// The CRC-32 of a file, as the set check computes it for each volume.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_system.h"
#include "platform/system_error.h"
#include "scan/crc32_kernel.h"

namespace qs {

// Called between read blocks of a checksum; the worker rests there while paused. Returning
// false abandons the checksum (a stop was requested).
class ReadGate {
 public:
  virtual ~ReadGate() = default;
  virtual bool Continue() = 0;
};

// Thread contract: one thread calls FileCrc32 (and the rest); that thread alone reads the files
// and asks the gate. For a file longer than half the buffer, the engine's own thread (made at
// the first such file, ended with the engine) checksums each full half while the caller reads
// the next, so a file costs little more than reading it.
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
  // of the blocks read so far, which nobody may use. The file is read until a read answers 0 or
  // fails, and no block is read after the gate said stop.
  SystemError FileCrc32(const std::string& path, std::uint32_t& crc);

  const std::uint32_t* Table() const { return table_.get(); }

  static constexpr std::size_t kReadBlockSize = 128 * 1024;
  // The one buffer of the engine is two halves of this many blocks (1 MiB in all, whatever the
  // size of the files).
  static constexpr std::size_t kBlocksPerHalf = 4;

 private:
  class Checksummer;

  SystemError Checksum(ReadableFile& file, std::uint32_t& crc);
  // Gives a full half to the engine's thread, making it when there is none yet. False when no
  // thread can be had: the caller then checksums the half itself.
  bool HandOff(unsigned half, std::uint32_t crc, bool& handed);
  unsigned char* Block(unsigned half, std::size_t index) const;
  std::uint32_t UpdateHalf(std::uint32_t crc, unsigned half, std::size_t blocks) const;

  FileSystem& fs_;
  ReadGate* gate_;
  Crc32UpdateFunction update_;
  std::unique_ptr<std::uint32_t[]> table_;
  std::unique_ptr<unsigned char[]> buffer_;  // one buffer per engine, reused for every entry
  // The bytes each block of each half holds; written by the caller before the half is handed.
  std::array<std::array<long, kBlocksPerHalf>, 2> block_sizes_{};
  std::unique_ptr<Checksummer> checksummer_;
  bool checksummer_failed_ = false;
  std::uint32_t halves_handed_ = 0;
};

}  // namespace qs
