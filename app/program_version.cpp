// Linked into the executable itself, never into a library: only the program file may carry the
// note, so that any other file reads as unversioned.
#include "app/program_version.h"

#include <array>

namespace qs {

namespace {

constexpr std::size_t kOwnerField = (sizeof kVersionNoteOwner + 3) / 4 * 4;

constexpr std::array<char, kOwnerField> OwnerField() {
  std::array<char, kOwnerField> field{};
  for (std::size_t i = 0; i < sizeof kVersionNoteOwner; ++i) {
    field[i] = kVersionNoteOwner[i];
  }
  return field;
}

// An ELF note: owner size, descriptor size, type, the owner padded to 4 bytes, the descriptor.
struct VersionNote {
  std::uint32_t owner_size;
  std::uint32_t block_size;
  std::uint32_t type;
  std::array<char, kOwnerField> owner;
  VersionBlockBytes block;
};
static_assert(sizeof(VersionNote) == 12 + kOwnerField + kVersionBlockSize);

#define QS_VERSION_SECTION ".note.quarrystream.version"
static_assert(kVersionSectionName == QS_VERSION_SECTION);

#if defined(__ELF__)
[[gnu::used, gnu::section(QS_VERSION_SECTION), gnu::aligned(4)]] const VersionNote kVersionNote = {
    sizeof kVersionNoteOwner, kVersionBlockSize, kVersionNoteType, OwnerField(),
    kProgramVersionBlock};
#endif

}  // namespace

}  // namespace qs
