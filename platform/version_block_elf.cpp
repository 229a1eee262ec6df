#include "platform/version_block.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <optional>

#include "platform/unique_fd.h"

namespace qs {

namespace {

// Every offset and size below comes from the file, so each is checked against the file's size
// before it is used: a damaged or hostile file gives "no block", never a wild read.
class ElfReader {
 public:
  explicit ElfReader(int fd, std::uint64_t file_size) : fd_(fd), file_size_(file_size) {}

  bool ReadAt(std::uint64_t offset, void* data, std::uint64_t size) const {
    if (offset > file_size_ || size > file_size_ - offset) {
      return false;
    }
    auto* out = static_cast<unsigned char*>(data);
    while (size > 0) {
      const ssize_t got =
          ::pread(fd_, out, static_cast<std::size_t>(size), static_cast<off_t>(offset));
      if (got <= 0) {
        return false;
      }
      out += got;
      offset += static_cast<std::uint64_t>(got);
      size -= static_cast<std::uint64_t>(got);
    }
    return true;
  }

  void SetByteOrder(bool big_endian) { big_endian_ = big_endian; }

  std::uint64_t Decode(const unsigned char* bytes, std::size_t size) const {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
      const std::size_t index = big_endian_ ? i : size - 1 - i;
      value = (value << 8) | bytes[index];
    }
    return value;
  }

  std::uint64_t file_size() const { return file_size_; }

 private:
  int fd_;
  std::uint64_t file_size_;
  bool big_endian_ = false;
};

struct Section {
  std::uint32_t name = 0;
  std::uint32_t type = 0;
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  std::uint32_t link = 0;
};

struct Layout {
  bool is64 = false;
  std::uint64_t section_table = 0;
  std::uint64_t entry_size = 0;
  std::uint64_t count = 0;
  std::uint64_t names_index = 0;
};

// Field offsets of the ELF header and of a section header, for the 32-bit and 64-bit forms.
std::optional<Section> ReadSection(const ElfReader& reader, const Layout& layout,
                                   std::uint64_t index) {
  if (index >= layout.count) {
    return std::nullopt;
  }
  unsigned char bytes[sizeof(Elf64_Shdr)] = {};
  if (!reader.ReadAt(layout.section_table + index * layout.entry_size, bytes, layout.entry_size)) {
    return std::nullopt;
  }
  Section section;
  section.name = static_cast<std::uint32_t>(reader.Decode(bytes, 4));
  section.type = static_cast<std::uint32_t>(reader.Decode(bytes + 4, 4));
  if (layout.is64) {
    section.offset = reader.Decode(bytes + 24, 8);
    section.size = reader.Decode(bytes + 32, 8);
    section.link = static_cast<std::uint32_t>(reader.Decode(bytes + 40, 4));
  } else {
    section.offset = reader.Decode(bytes + 16, 4);
    section.size = reader.Decode(bytes + 20, 4);
    section.link = static_cast<std::uint32_t>(reader.Decode(bytes + 24, 4));
  }
  return section;
}

std::optional<Layout> ReadLayout(ElfReader& reader) {
  unsigned char header[sizeof(Elf64_Ehdr)] = {};
  if (!reader.ReadAt(0, header, EI_NIDENT) || std::memcmp(header, ELFMAG, SELFMAG) != 0) {
    return std::nullopt;
  }
  const unsigned char elf_class = header[EI_CLASS];
  const unsigned char encoding = header[EI_DATA];
  if ((elf_class != ELFCLASS32 && elf_class != ELFCLASS64) ||
      (encoding != ELFDATA2LSB && encoding != ELFDATA2MSB)) {
    return std::nullopt;
  }
  reader.SetByteOrder(encoding == ELFDATA2MSB);
  Layout layout;
  layout.is64 = elf_class == ELFCLASS64;
  const std::size_t header_size = layout.is64 ? sizeof(Elf64_Ehdr) : sizeof(Elf32_Ehdr);
  if (!reader.ReadAt(0, header, header_size)) {
    return std::nullopt;
  }
  if (layout.is64) {
    layout.section_table = reader.Decode(header + 40, 8);
    layout.entry_size = reader.Decode(header + 58, 2);
    layout.count = reader.Decode(header + 60, 2);
    layout.names_index = reader.Decode(header + 62, 2);
  } else {
    layout.section_table = reader.Decode(header + 32, 4);
    layout.entry_size = reader.Decode(header + 46, 2);
    layout.count = reader.Decode(header + 48, 2);
    layout.names_index = reader.Decode(header + 50, 2);
  }
  const std::uint64_t needed = layout.is64 ? sizeof(Elf64_Shdr) : sizeof(Elf32_Shdr);
  if (layout.section_table == 0 || layout.entry_size < needed ||
      layout.entry_size > sizeof(Elf64_Shdr)) {
    return std::nullopt;
  }
  // Files with very many sections keep the true count and name index in section 0.
  if (layout.count == 0 || layout.names_index == SHN_XINDEX) {
    Layout first_only = layout;
    first_only.count = 1;
    const std::optional<Section> first = ReadSection(reader, first_only, 0);
    if (!first) {
      return std::nullopt;
    }
    if (layout.count == 0) {
      layout.count = first->size;
    }
    if (layout.names_index == SHN_XINDEX) {
      layout.names_index = first->link;
    }
  }
  if (layout.count > reader.file_size() / layout.entry_size) {
    return std::nullopt;
  }
  return layout;
}

// True when the section's name in the name table equals `wanted`.
bool NameIs(const ElfReader& reader, const Section& names, std::uint32_t offset,
            std::string_view wanted) {
  if (offset >= names.size || names.size - offset < wanted.size() + 1) {
    return false;
  }
  std::string name(wanted.size() + 1, '\0');
  return reader.ReadAt(names.offset + offset, name.data(), name.size()) && name.back() == '\0' &&
         std::string_view(name.data(), wanted.size()) == wanted;
}

std::uint64_t Align4(std::uint64_t value) {
  return (value + 3) & ~std::uint64_t{3};
}

// The descriptor of the version note among the notes of `section`.
std::vector<unsigned char> FindVersionNote(const ElfReader& reader, const Section& section) {
  const std::string_view owner(kVersionNoteOwner, sizeof kVersionNoteOwner);  // with its zero
  std::uint64_t position = 0;
  while (section.size - position >= 12) {
    unsigned char header[12];
    if (!reader.ReadAt(section.offset + position, header, sizeof header)) {
      break;
    }
    const std::uint64_t name_size = reader.Decode(header, 4);
    const std::uint64_t desc_size = reader.Decode(header + 4, 4);
    const std::uint64_t type = reader.Decode(header + 8, 4);
    const std::uint64_t name_at = position + 12;
    const std::uint64_t desc_at = name_at + Align4(name_size);
    if (desc_at > section.size || Align4(desc_size) > section.size - desc_at) {
      break;
    }
    if (type == kVersionNoteType && name_size == owner.size()) {
      std::string name(owner.size(), '\0');
      if (reader.ReadAt(section.offset + name_at, name.data(), name.size()) && name == owner) {
        std::vector<unsigned char> desc(static_cast<std::size_t>(desc_size));
        if (!reader.ReadAt(section.offset + desc_at, desc.data(), desc_size)) {
          return {};
        }
        return desc;
      }
    }
    position = desc_at + Align4(desc_size);
  }
  return {};
}

}  // namespace

std::vector<unsigned char> ReadVersionBlock(const std::string& path) {
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat status {};
  if (!fd.Valid() || ::fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
    return {};
  }
  ElfReader reader(fd.Get(), static_cast<std::uint64_t>(status.st_size));
  const std::optional<Layout> layout = ReadLayout(reader);
  if (!layout) {
    return {};
  }
  const std::optional<Section> names = ReadSection(reader, *layout, layout->names_index);
  if (!names || names->offset > reader.file_size() ||
      names->size > reader.file_size() - names->offset) {
    return {};
  }
  for (std::uint64_t i = 1; i < layout->count; ++i) {
    const std::optional<Section> section = ReadSection(reader, *layout, i);
    if (!section || section->type != SHT_NOTE ||
        !NameIs(reader, *names, section->name, kVersionSectionName)) {
      continue;
    }
    if (section->offset > reader.file_size() ||
        section->size > reader.file_size() - section->offset) {
      return {};
    }
    return FindVersionNote(reader, *section);
  }
  return {};
}

}  // namespace qs
