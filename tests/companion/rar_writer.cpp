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

void Le(std::string& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out.push_back(static_cast<char>(value >> (8 * i)));
  }
}

// RAR 5's variable-length integer: seven bits a byte, low bits first.
void Vint(std::string& out, std::uint64_t value) {
  do {
    const auto low = static_cast<char>(value & 0x7F);
    value >>= 7;
    out.push_back(static_cast<char>(low | (value != 0 ? 0x80 : 0)));
  } while (value != 0);
}

// One piece of one entry as it lies in one volume.
struct Piece {
  const RarEntry* entry;
  std::size_t offset;
  std::size_t size;
  bool last;
};

// `data_size` < 0: the block has no data area (file blocks always have one, if empty).
std::string Rar5Block(std::uint64_t type, std::uint64_t flags, const std::string& fields,
                      long long data_size) {
  std::string body;
  Vint(body, type);
  Vint(body, flags | (data_size >= 0 ? 0x0002 : 0));
  if (data_size >= 0) {
    Vint(body, static_cast<std::uint64_t>(data_size));
  }
  body += fields;
  std::string sized;
  Vint(sized, body.size());
  sized += body;
  std::string block;
  Le(block, Crc32(sized), 4);
  return block + sized;
}

std::string Rar5Volume(const std::vector<Piece>& pieces, int volume, bool last_volume, bool solid) {
  std::string out("Rar!\x1A\x07\x01\x00", 8);
  std::string main;
  Vint(main, 0x0001 | (volume > 0 ? 0x0002 : 0));  // a volume; its number after the first
  if (volume > 0) {
    Vint(main, static_cast<std::uint64_t>(volume));
  }
  out += Rar5Block(1, 0, main, -1);
  for (const Piece& p : pieces) {
    const std::string data = p.entry->content.substr(p.offset, p.size);
    std::string fields;
    Vint(fields, p.entry->directory ? 0x0001 : 0x0004);  // directory, or a CRC follows
    Vint(fields, p.entry->content.size());
    Vint(fields, p.entry->directory ? 040755 : 0100644);
    if (!p.entry->directory) {
      // A part before the last carries the CRC of its own bytes, the last the whole file's.
      Le(fields, p.last ? Crc32(p.entry->content) : Crc32(data), 4);
    }
    Vint(fields, solid ? 0x40 : 0);  // version 0, stored
    Vint(fields, 1);                 // made on Unix
    Vint(fields, p.entry->name.size());
    fields += p.entry->name;
    const std::uint64_t flags = (p.offset > 0 ? 0x0008 : 0) | (p.last ? 0 : 0x0010);
    out += Rar5Block(2, flags, fields, static_cast<long long>(data.size())) + data;
  }
  std::string end;
  Vint(end, last_volume ? 0 : 1);
  return out + Rar5Block(5, 0, end, -1);
}

std::string Rar4Block(std::uint8_t type, std::uint16_t flags, const std::string& fields) {
  std::string header;
  header.push_back(static_cast<char>(type));
  Le(header, flags, 2);
  Le(header, 7 + fields.size(), 2);
  header += fields;
  std::string block;
  Le(block, Crc32(header) & 0xFFFF, 2);
  return block + header;
}

std::string Rar4Volume(const std::vector<Piece>& pieces, int volume, bool last_volume,
                       RarNaming naming) {
  std::string out("Rar!\x1A\x07\x00", 7);
  const std::uint16_t main_flags =
      0x0001 | (naming == RarNaming::kPartNumbered ? 0x0010 : 0) | (volume == 0 ? 0x0100 : 0);
  out += Rar4Block(0x73, main_flags, std::string(6, '\0'));
  for (const Piece& p : pieces) {
    const std::string data = p.entry->content.substr(p.offset, p.size);
    bool ascii = true;
    for (char c : p.entry->name) {
      ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    std::string fields;
    Le(fields, data.size(), 4);
    Le(fields, p.entry->content.size(), 4);
    fields.push_back(3);  // made on Unix
    Le(fields, p.last ? Crc32(p.entry->content) : Crc32(data), 4);
    Le(fields, (46u << 25) | (1u << 21) | (1u << 16), 4);  // 2026-01-01 00:00 as a DOS time
    fields.push_back(29);                                  // version needed: 2.9
    fields.push_back(0x30);                                // stored
    Le(fields, p.entry->name.size(), 2);
    Le(fields, p.entry->directory ? 040755 : 0100644, 4);
    // With the Unicode flag and no NUL in it the name is UTF-8; RAR 4 separates with '\\'.
    for (char c : p.entry->name) {
      fields.push_back(c == '/' ? '\\' : c);
    }
    const std::uint16_t flags = 0x8000 | (p.offset > 0 ? 0x0001 : 0) | (p.last ? 0 : 0x0002) |
                                (ascii ? 0 : 0x0200) | (p.entry->directory ? 0x00E0 : 0);
    out += Rar4Block(0x74, flags, fields) + data;
  }
  return out + Rar4Block(0x7B, last_volume ? 0 : 0x0001, "");
}

std::string VolumeName(const std::string& base, RarNaming naming, int volume) {
  char suffix[32];
  if (naming == RarNaming::kPartNumbered) {
    std::snprintf(suffix, sizeof suffix, ".part%02d.rar", volume + 1);
  } else if (volume == 0) {
    std::snprintf(suffix, sizeof suffix, ".rar");
  } else {
    std::snprintf(suffix, sizeof suffix, ".r%02d", volume - 1);
  }
  return base + suffix;
}

}  // namespace

std::vector<std::string> WriteRarSet(const std::string& base, RarFormat format, RarNaming naming,
                                     const std::vector<RarEntry>& entries, std::size_t volume_data,
                                     bool solid) {
  std::vector<std::vector<Piece>> volumes(1);
  std::size_t room = volume_data;
  for (const RarEntry& entry : entries) {
    std::size_t offset = 0;
    do {
      if (room == 0 && offset < entry.content.size()) {
        volumes.emplace_back();
        room = volume_data;
      }
      const std::size_t size = std::min(room, entry.content.size() - offset);
      volumes.back().push_back({&entry, offset, size, offset + size == entry.content.size()});
      offset += size;
      room -= size;
    } while (offset < entry.content.size());
  }
  std::vector<std::string> paths;
  for (std::size_t v = 0; v < volumes.size(); ++v) {
    const int number = static_cast<int>(v);
    const bool last = v + 1 == volumes.size();
    paths.push_back(VolumeName(base, naming, number));
    std::ofstream(paths.back(), std::ios::binary)
        << (format == RarFormat::kRar5 ? Rar5Volume(volumes[v], number, last, solid)
                                       : Rar4Volume(volumes[v], number, last, naming));
  }
  return paths;
}

}  // namespace qs::test
