#include "scan/crc32_engine.h"

#include <memory>
#include <new>

#include "platform/prefault.h"
#include "scan/crc32_kernel.h"
#include "scan/sfv_file.h"

namespace qs {

namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;

}  // namespace

Crc32Engine::Crc32Engine(FileSystem& fs, ReadGate* gate) : fs_(fs), gate_(gate) {
  PrefaultForWriting(block_, sizeof block_);  // every read writes into it
}

Crc32Engine::~Crc32Engine() = default;

void Crc32Engine::BuildTable() {
  FreeTable();
  table_.reset(new (std::nothrow) std::uint32_t[256]);
  if (!table_) {
    return;  // FileCrc32 then answers 23, as without a table
  }
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) {
      c = (c & 1u) != 0 ? (c >> 1) ^ kPolynomial : c >> 1;
    }
    table_[i] = c;
  }
}

void Crc32Engine::FreeTable() {
  table_.reset();
}

SystemError Crc32Engine::FileCrc32(const std::string& path, std::uint32_t& crc) {
  return Checksum(
      [&](std::unique_ptr<ReadableFile>& file) { return fs_.OpenForVerify(path, file); }, crc);
}

SystemError Crc32Engine::FileCrc32(FolderHandle& folder, std::string_view name,
                                   std::uint32_t& crc) {
  return Checksum(
      [&](std::unique_ptr<ReadableFile>& file) {
        const SystemError error = folder.OpenForVerify(name, file);
        // An SFV file written on Windows names a volume in a subfolder as "sub\\x.rar".
        if ((error == kErrorFileNotFound || error == kErrorPathNotFound) &&
            name.find('\\') != std::string_view::npos) {
          return folder.OpenForVerify(WithFolderSeparators(name), file);
        }
        return error;
      },
      crc);
}

template <class Open>
SystemError Crc32Engine::Checksum(Open open, std::uint32_t& crc) {
  crc = 0xFFFFFFFFu;
  SystemError result = kErrorSuccess;
  // The table only says the engine was set up; the kernel does the arithmetic (it gives the
  // same values as the per-byte table loop, faster).
  if (!table_) {
    result = kErrorCrc;
  }
  if (result == kErrorSuccess) {
    std::unique_ptr<ReadableFile> file;
    result = open(file);
    if (result == kErrorSuccess && !file) {
      result = kErrorCrc;
    }
    if (result == kErrorSuccess) {
      const Crc32UpdateFunction update = ActiveCrc32Kernel().update;
      bool gate_skipped = false;
      for (;;) {
        // A failed read ends the data unnoticed: the shortened CRC will not match.
        const long got = file->Read(block_, kReadBlockSize);
        if (got <= 0) {
          break;
        }
        crc = update(crc, block_, static_cast<std::size_t>(got));
        // A short read is almost always followed by the end of the file: that read comes at
        // once, so a volume of one block never rests open in a pause (holding the file system's
        // lease on it). Files that answer short reads throughout still meet the gate every
        // second read.
        if (static_cast<std::size_t>(got) < kReadBlockSize && !gate_skipped) {
          gate_skipped = true;
          continue;
        }
        gate_skipped = false;
        if (gate_ != nullptr && !gate_->Continue()) {
          result = kErrorOperationAborted;
          break;
        }
      }
    }
  }
  crc = ~crc;
  return result;
}

}  // namespace qs
