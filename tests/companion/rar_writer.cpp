#include "tests/companion/rar_writer.h"

#include <cstdint>
#include <cstdio>
#include <fstream>

#include <zlib.h>

namespace qs::test {

namespace {

std::uint32_t Crc32(std::string_view bytes) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

std::string Le32(std::uint32_t value) {
  return {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
          static_cast<char>(value >> 24)};
}

// RAR 5's variable-length integer: seven bits a byte, low bits first.
void Vint(std::string& out, std::uint64_t value) {
  do {
    const auto low = static_cast<char>(value & 0x7F);
    value >>= 7;
    out.push_back(static_cast<char>(low | (value != 0 ? 0x80 : 0)));
  } while (value != 0);
}

// `data_size` < 0: the block has no data area (file blocks always have one, if empty).
std::string Block(std::uint64_t type, std::uint64_t flags, const std::string& fields,
                  long long data_size) {
  std::string body;
  Vint(body, type);
  Vint(body, flags | (data_size >= 0 ? 0x0002 : 0));
  if (data_size >= 0) {
    Vint(body, static_cast<std::uint64_t>(data_size));
  }
  std::string sized;
  Vint(sized, body.size() + fields.size());
  sized += body + fields;
  return Le32(Crc32(sized)) + sized;
}

}  // namespace

std::vector<std::string> WriteRarSet(const std::string& base, const std::vector<RarEntry>& entries,
                                     std::size_t volume_data) {
  std::vector<std::string> volumes(1);
  std::size_t room = volume_data;
  for (const RarEntry& entry : entries) {
    std::size_t offset = 0;
    do {
      if (room == 0 && offset < entry.content.size()) {
        volumes.emplace_back();
        room = volume_data;
      }
      const std::size_t size = std::min(room, entry.content.size() - offset);
      const std::string data = entry.content.substr(offset, size);
      const bool last = offset + size == entry.content.size();
      std::string fields;
      Vint(fields, entry.directory ? 0x0001 : 0x0004);  // directory, or a CRC follows
      Vint(fields, entry.content.size());
      Vint(fields, entry.directory ? 040755 : 0100644);
      if (!entry.directory) {
        // A part before the last carries the CRC of its own bytes, the last the whole file's.
        fields += Le32(last ? Crc32(entry.content) : Crc32(data));
      }
      Vint(fields, 0);  // version 0, stored
      Vint(fields, 1);  // made on Unix
      Vint(fields, entry.name.size());
      fields += entry.name;
      const std::uint64_t flags = (offset > 0 ? 0x0008 : 0) | (last ? 0 : 0x0010);
      volumes.back() += Block(2, flags, fields, static_cast<long long>(size)) + data;
      offset += size;
      room -= size;
    } while (offset < entry.content.size());
  }
  std::vector<std::string> paths;
  for (std::size_t v = 0; v < volumes.size(); ++v) {
    std::string main;
    Vint(main, 0x0001 | (v > 0 ? 0x0002 : 0));  // a volume; its number after the first
    if (v > 0) {
      Vint(main, v);
    }
    std::string end;
    Vint(end, v + 1 < volumes.size() ? 1 : 0);  // more volumes follow
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".part%02zu.rar", v + 1);
    paths.push_back(base + suffix);
    std::ofstream(paths.back(), std::ios::binary) << std::string("Rar!\x1A\x07\x01\x00", 8) +
                                                         Block(1, 0, main, -1) + volumes[v] +
                                                         Block(5, 0, end, -1);
  }
  return paths;
}

}  // namespace qs::test
