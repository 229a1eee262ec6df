#include "companion/rar_checksums.h"

#if QS_HAVE_ISAL
#include <isa-l/crc.h>
#else
#include <zlib.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>

namespace qs {

namespace {

constexpr std::string_view kRar4Mark("Rar!\x1A\x07\x00", 7);
constexpr std::string_view kRar5Mark("Rar!\x1A\x07\x01\x00", 8);
constexpr std::size_t kMaxHeaderBytes = 2 * 1024 * 1024;  // RAR 5's own limit
constexpr std::size_t kChunkBytes = 1024 * 1024;

// zlib's convention: the CRC so far in, the CRC with this data out, 0 to start.
std::uint32_t Crc(std::uint32_t crc, const void* data, std::size_t size) {
#if QS_HAVE_ISAL
  return crc32_gzip_refl(crc, static_cast<const unsigned char*>(data), size);
#else
  return static_cast<std::uint32_t>(
      crc32(crc, static_cast<const Bytef*>(data), static_cast<uInt>(size)));
#endif
}

struct FileClose {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// Reads little-endian numbers and RAR 5's seven-bit numbers out of one header.
class Fields {
 public:
  explicit Fields(std::string_view bytes) : bytes_(bytes) {}
  bool ok() const { return ok_; }
  std::uint64_t Le(int size) {
    std::uint64_t value = 0;
    for (int i = 0; i < size; ++i) {
      value |= static_cast<std::uint64_t>(Byte()) << (8 * i);
    }
    return value;
  }
  std::uint64_t Vint() {
    std::uint64_t value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      const unsigned char b = Byte();
      value |= static_cast<std::uint64_t>(b & 0x7F) << shift;
      if ((b & 0x80) == 0) {
        return value;
      }
    }
    ok_ = false;
    return 0;
  }
  std::string_view Take(std::size_t size) {
    if (size > bytes_.size() - at_) {
      ok_ = false;
      return {};
    }
    at_ += size;
    return bytes_.substr(at_ - size, size);
  }

 private:
  unsigned char Byte() {
    if (at_ >= bytes_.size()) {
      ok_ = false;
      return 0;
    }
    return static_cast<unsigned char>(bytes_[at_++]);
  }
  std::string_view bytes_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

// One file's parts, which may span volumes.
struct Part {
  std::string name;
  std::uint64_t data_size = 0;
  bool has_crc = false;
  std::uint32_t crc = 0;
  bool split_before = false;
  bool split_after = false;
  bool stored = false;
};

class Walk {
 public:
  std::string Volume(const std::string& path) {
    std::unique_ptr<std::FILE, FileClose> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
      return {};  // the reader says why
    }
    file_ = file.get();
    volume_ = path.substr(path.rfind('/') + 1);
    char mark[8] = {};
    const std::size_t got = std::fread(mark, 1, sizeof mark, file_);
    if (got >= 7 && std::string_view(mark, 7) == kRar4Mark) {
      std::fseek(file_, 7, SEEK_SET);
      return Rar4();
    }
    if (got == 8 && std::string_view(mark, 8) == kRar5Mark) {
      return Rar5();
    }
    return {};
  }

 private:
  std::string Damaged(const std::string& what) const { return volume_ + ": " + what; }

  bool Read(std::string& out, std::size_t size) {
    out.resize(size);
    return std::fread(out.data(), 1, size, file_) == size;
  }

  // Forward only: a size that does not fit a long would turn into a step back, and a loop.
  bool Skip(std::uint64_t size) {
    return size <= static_cast<std::uint64_t>(std::numeric_limits<long>::max()) &&
           std::fseek(file_, static_cast<long>(size), SEEK_CUR) == 0;
  }

  // The data of one part: its own CRC, and the running CRC of the whole file.
  std::string Data(const Part& part) {
    if (!part.split_before) {
      whole_crc_ = Crc(0, nullptr, 0);
    }
    std::uint32_t part_crc = Crc(0, nullptr, 0);
    std::uint64_t left = part.data_size;
    buffer_.resize(kChunkBytes);
    while (left > 0) {
      const std::size_t size = left < kChunkBytes ? static_cast<std::size_t>(left) : kChunkBytes;
      if (std::fread(buffer_.data(), 1, size, file_) != size) {
        return Damaged(part.name + " ends early: the volume is cut short");
      }
      part_crc = Crc(part_crc, buffer_.data(), size);
      if (part.stored) {
        whole_crc_ = Crc(whole_crc_, buffer_.data(), size);
      }
      left -= size;
    }
    // A part before the last carries the CRC of its own bytes, the last one the whole file's.
    if (part.has_crc && part.split_after && part_crc != part.crc) {
      return Damaged(part.name + ": CRC error in the part in this volume");
    }
    if (part.has_crc && !part.split_after && part.stored && whole_crc_ != part.crc) {
      return Damaged(part.name + ": CRC error (the file's data is damaged)");
    }
    return {};
  }

  std::string Rar5() {
    std::string header;
    for (;;) {
      std::string start;
      if (!Read(start, 4)) {
        return {};  // no end block: the reader decides
      }
      std::uint64_t size = 0;
      std::string size_bytes;
      for (int shift = 0; shift < 21; shift += 7) {
        const int b = std::fgetc(file_);
        if (b == EOF) {
          return Damaged("the volume is cut short inside a header");
        }
        size_bytes.push_back(static_cast<char>(b));
        size |= static_cast<std::uint64_t>(b & 0x7F) << shift;
        if ((b & 0x80) == 0) {
          break;
        }
      }
      if (size == 0 || size > kMaxHeaderBytes || !Read(header, static_cast<std::size_t>(size))) {
        return Damaged("the volume is cut short or damaged inside a header");
      }
      const std::uint32_t stored = static_cast<std::uint32_t>(Fields(start).Le(4));
      if (Crc(Crc(0, size_bytes.data(), size_bytes.size()), header.data(), header.size()) !=
          stored) {
        return Damaged("header CRC error");
      }
      Fields f(header);
      const std::uint64_t type = f.Vint();
      const std::uint64_t flags = f.Vint();
      if ((flags & 0x0001) != 0) {
        f.Vint();  // the extra area's size; the area is not needed here
      }
      const std::uint64_t data_size = (flags & 0x0002) != 0 ? f.Vint() : 0;
      if (type == 4 || type == 5) {
        return {};  // encrypted headers (the reader refuses them), or the end
      }
      Part part;
      part.data_size = data_size;
      part.split_before = (flags & 0x0008) != 0;
      part.split_after = (flags & 0x0010) != 0;
      if (type == 2 || type == 3) {
        const std::uint64_t file_flags = f.Vint();
        f.Vint();  // unpacked size
        f.Vint();  // attributes
        if ((file_flags & 0x0002) != 0) {
          f.Le(4);
        }
        part.has_crc = (file_flags & 0x0004) != 0;
        part.crc = static_cast<std::uint32_t>(part.has_crc ? f.Le(4) : 0);
        part.stored = ((f.Vint() >> 7) & 7) == 0;
        f.Vint();  // host system
        part.name = std::string(f.Take(static_cast<std::size_t>(f.Vint())));
        if (!f.ok()) {
          return Damaged("a file header is damaged");
        }
        if (std::string error = Data(part); !error.empty()) {
          return error;
        }
      } else if (!Skip(data_size)) {
        return Damaged("the volume is cut short");
      }
    }
  }

  std::string Rar4() {
    std::string header;
    for (;;) {
      if (!Read(header, 7)) {
        return {};
      }
      Fields f(header);
      const auto stored = static_cast<std::uint16_t>(f.Le(2));
      const auto type = static_cast<unsigned char>(f.Le(1));
      const auto flags = static_cast<std::uint16_t>(f.Le(2));
      const auto size = static_cast<std::size_t>(f.Le(2));
      std::string rest;
      if (size < 7 || !Read(rest, size - 7)) {
        return Damaged("the volume is cut short or damaged inside a header");
      }
      Fields fields(rest);
      const std::uint64_t add_size = (flags & 0x8000) != 0 ? fields.Le(4) : 0;
      if (type == 0x7B) {
        return {};
      }
      if (type != 0x74) {
        if (!Skip(add_size)) {
          return Damaged("the volume is cut short");
        }
        continue;
      }
      if ((Crc(Crc(0, header.data() + 2, 5), rest.data(), rest.size()) & 0xFFFF) != stored) {
        return Damaged("header CRC error");
      }
      Part part;
      part.data_size = add_size;
      fields.Le(4);                          // unpacked size
      fields.Le(1);                          // host system
      part.has_crc = (flags & 0x0004) == 0;  // encrypted data is the reader's business
      part.crc = static_cast<std::uint32_t>(fields.Le(4));
      fields.Le(5);  // time, version
      part.stored = fields.Le(1) == 0x30;
      const auto name_size = static_cast<std::size_t>(fields.Le(2));
      fields.Le(4);  // attributes
      if ((flags & 0x0100) != 0) {
        part.data_size |= fields.Le(4) << 32;
        fields.Le(4);
      }
      part.name = std::string(fields.Take(name_size));
      part.name = part.name.substr(0, part.name.find('\0'));
      std::replace(part.name.begin(), part.name.end(), '\\', '/');
      part.split_before = (flags & 0x0001) != 0;
      part.split_after = (flags & 0x0002) != 0;
      if (!fields.ok()) {
        return Damaged("a file header is damaged");
      }
      if (std::string error = Data(part); !error.empty()) {
        return error;
      }
    }
  }

  std::FILE* file_ = nullptr;
  std::string volume_;
  std::string buffer_;
  std::uint32_t whole_crc_ = 0;
};

}  // namespace

std::string CheckRarChecksums(const std::vector<std::string>& volumes) {
  Walk walk;
  for (const std::string& volume : volumes) {
    if (std::string error = walk.Volume(volume); !error.empty()) {
      return error;
    }
  }
  return {};
}

}  // namespace qs
