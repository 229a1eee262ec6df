// The version reader on the program itself, on files without a version, and on hand-made ELF
// files of both classes and byte orders, whole and damaged.
#include "platform/version_info.h"

#include <utime.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/about_dialog.h"
#include "app/program_version.h"
#include "platform/executable_paths.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

using test::TempDir;

// Builds a minimal ELF file: the header, a null section, the section-name table and one note
// section, with every multi-byte field in the chosen byte order.
class ElfBuilder {
 public:
  ElfBuilder(bool is64, bool big_endian) : is64_(is64), big_endian_(big_endian) {}

  std::string section_name = std::string(kVersionSectionName);
  std::uint32_t section_type = 7;  // SHT_NOTE

  // The notes of the section, in order.
  void AddNote(const std::string& owner_with_zero, std::uint32_t type,
               const std::vector<unsigned char>& desc) {
    Put(notes_, owner_with_zero.size(), 4);
    Put(notes_, desc.size(), 4);
    Put(notes_, type, 4);
    notes_.insert(notes_.end(), owner_with_zero.begin(), owner_with_zero.end());
    Pad(notes_);
    notes_.insert(notes_.end(), desc.begin(), desc.end());
    Pad(notes_);
  }
  void AddVersionNote(const VersionBlockBytes& block) {
    AddNote(std::string(kVersionNoteOwner, sizeof kVersionNoteOwner), kVersionNoteType,
            std::vector<unsigned char>(block.begin(), block.end()));
  }

  std::vector<unsigned char> Build() const {
    const std::size_t header_size = is64_ ? 64 : 52;
    const std::size_t entry_size = is64_ ? 64 : 40;
    std::vector<unsigned char> names = {0};
    const std::size_t shstrtab_name = names.size();
    for (char c : std::string(".shstrtab"))
      names.push_back(static_cast<unsigned char>(c));
    names.push_back(0);
    const std::size_t note_name = names.size();
    for (char c : section_name)
      names.push_back(static_cast<unsigned char>(c));
    names.push_back(0);

    const std::size_t names_at = header_size;
    const std::size_t notes_at = names_at + names.size() + 8;
    const std::size_t table_at = (notes_at + notes_.size() + 7) / 8 * 8;

    std::vector<unsigned char> out(table_at + 3 * entry_size, 0);
    const unsigned char ident[] = {0x7F,
                                   'E',
                                   'L',
                                   'F',
                                   static_cast<unsigned char>(is64_ ? 2 : 1),
                                   static_cast<unsigned char>(big_endian_ ? 2 : 1),
                                   1};
    std::copy(std::begin(ident), std::end(ident), out.begin());
    if (is64_) {
      Set(out, 40, table_at, 8);
      Set(out, 52, header_size, 2);
      Set(out, 58, entry_size, 2);
      Set(out, 60, 3, 2);
      Set(out, 62, 1, 2);
    } else {
      Set(out, 32, table_at, 4);
      Set(out, 40, header_size, 2);
      Set(out, 46, entry_size, 2);
      Set(out, 48, 3, 2);
      Set(out, 50, 1, 2);
    }
    std::copy(names.begin(), names.end(), out.begin() + static_cast<long>(names_at));
    std::copy(notes_.begin(), notes_.end(), out.begin() + static_cast<long>(notes_at));
    SetSection(out, table_at + entry_size, shstrtab_name, 3, names_at, names.size());
    SetSection(out, table_at + 2 * entry_size, note_name, section_type, notes_at, notes_.size());
    return out;
  }

 private:
  void Put(std::vector<unsigned char>& out, std::uint64_t value, std::size_t size) const {
    const std::size_t at = out.size();
    out.resize(at + size);
    Set(out, at, value, size);
  }
  void Set(std::vector<unsigned char>& out, std::size_t at, std::uint64_t value,
           std::size_t size) const {
    for (std::size_t i = 0; i < size; ++i) {
      const std::size_t index = big_endian_ ? at + size - 1 - i : at + i;
      out[index] = static_cast<unsigned char>((value >> (8 * i)) & 0xFF);
    }
  }
  static void Pad(std::vector<unsigned char>& out) {
    while (out.size() % 4 != 0)
      out.push_back(0);
  }
  void SetSection(std::vector<unsigned char>& out, std::size_t at, std::size_t name,
                  std::uint32_t type, std::size_t offset, std::size_t size) const {
    Set(out, at, name, 4);
    Set(out, at + 4, type, 4);
    if (is64_) {
      Set(out, at + 24, offset, 8);
      Set(out, at + 32, size, 8);
    } else {
      Set(out, at + 16, offset, 4);
      Set(out, at + 20, size, 4);
    }
  }

  bool is64_;
  bool big_endian_;
  std::vector<unsigned char> notes_;
};

std::string WriteBytes(const TempDir& dir, const std::string& name,
                       const std::vector<unsigned char>& bytes) {
  return dir.WriteFile(name, std::string(bytes.begin(), bytes.end()));
}

TEST(VersionInfoTest, TheProgramFileCarriesItsVersion) {
  VersionInfo info(QS_QUARRYSTREAM);
  ASSERT_TRUE(info.Load());
  EXPECT_EQ(info.FileVersion(), (std::array<std::uint16_t, 4>{0, 1, 1, 137}));
  EXPECT_EQ(info.ProductVersion(), (std::array<std::uint16_t, 4>{0, 1, 1, 137}));
  EXPECT_EQ(info.FileVersionText(), "0.1.1.137");
  EXPECT_EQ(info.Fixed().dwSignature, kFixedFileInfoSignature);
  EXPECT_EQ(info.BlockSize(), kVersionBlockSize);
  EXPECT_GT(info.ModificationTime(), 0);
}

TEST(VersionInfoTest, AnEmptyNameMeansTheRunningExecutable) {
  VersionInfo info;
  EXPECT_EQ(info.FileName(), ExecutablePath());
  // The test program links the same libraries but not the note: it has no version.
  EXPECT_FALSE(info.Load());
  EXPECT_EQ(info.FileVersionText(), "0.0.0.0");
}

TEST(VersionInfoTest, FilesWithoutAVersionReadAsZero) {
  TempDir dir;
  const std::vector<std::string> paths = {
      dir.WriteFile("empty", ""),
      dir.WriteFile("text", "0, 1, 1, 137\n"),
      dir.WriteFile("elf-magic-only",
                    "\x7F"
                    "ELF"),
      dir.Path("missing"),
      dir.MakeDir("folder"),
  };
  for (const std::string& path : paths) {
    VersionInfo info(path);
    EXPECT_FALSE(info.Load()) << path;
    EXPECT_EQ(info.FileVersionText(), "0.0.0.0") << path;
    EXPECT_EQ(info.BlockSize(), 0u) << path;
  }
}

struct ElfForm {
  bool is64;
  bool big_endian;
};

class VersionElfTest : public ::testing::TestWithParam<ElfForm> {
 protected:
  ElfBuilder Builder() const { return ElfBuilder(GetParam().is64, GetParam().big_endian); }
  TempDir dir_;
};

TEST_P(VersionElfTest, FindsTheNoteAmongOthers) {
  ElfBuilder elf = Builder();
  elf.AddNote(std::string("GNU\0", 4), 3, {1, 2, 3, 4, 5});
  elf.AddVersionNote(MakeVersionBlock(2, 7, 11, 65535, "2, 7, 11, 65535"));
  VersionInfo info(WriteBytes(dir_, "program", elf.Build()));
  ASSERT_TRUE(info.Load());
  EXPECT_EQ(info.FileVersionText(), "2.7.11.65535");
}

TEST_P(VersionElfTest, IgnoresNotesOfAnotherOwnerTypeOrSection) {
  const VersionBlockBytes block = MakeVersionBlock(0, 1, 1, 137, "0, 1, 1, 137");
  const std::vector<unsigned char> desc(block.begin(), block.end());
  ElfBuilder other_owner = Builder();
  other_owner.AddNote(std::string("Quarrystreak\0", 13), kVersionNoteType, desc);
  ElfBuilder other_type = Builder();
  other_type.AddNote(std::string(kVersionNoteOwner, sizeof kVersionNoteOwner), 1, desc);
  ElfBuilder other_section = Builder();
  other_section.section_name = ".note.other";
  other_section.AddVersionNote(block);
  ElfBuilder not_a_note = Builder();
  not_a_note.section_type = 1;  // SHT_PROGBITS
  not_a_note.AddVersionNote(block);
  ElfBuilder bad_signature = Builder();
  VersionBlockBytes unsigned_block = block;
  unsigned_block[0] ^= 0xFF;
  bad_signature.AddVersionNote(unsigned_block);
  ElfBuilder short_block = Builder();
  short_block.AddNote(std::string(kVersionNoteOwner, sizeof kVersionNoteOwner), kVersionNoteType,
                      std::vector<unsigned char>(desc.begin(), desc.begin() + 51));

  for (ElfBuilder* elf :
       {&other_owner, &other_type, &other_section, &not_a_note, &bad_signature, &short_block}) {
    VersionInfo info(WriteBytes(dir_, "program", elf->Build()));
    EXPECT_FALSE(info.Load());
    EXPECT_EQ(info.FileVersionText(), "0.0.0.0");
  }
}

// Every prefix of a valid file: the reader must never read past the end, and only a file that
// still holds the whole note (and its section table) may answer.
TEST_P(VersionElfTest, EveryTruncationIsRefusedSafely) {
  ElfBuilder elf = Builder();
  elf.AddVersionNote(MakeVersionBlock(0, 1, 1, 137, "0, 1, 1, 137"));
  const std::vector<unsigned char> whole = elf.Build();
  for (std::size_t size = 0; size < whole.size(); ++size) {
    const std::vector<unsigned char> prefix(whole.begin(), whole.begin() + static_cast<long>(size));
    VersionInfo info(WriteBytes(dir_, "program", prefix));
    EXPECT_FALSE(info.Load()) << size;
  }
}

// Offsets and sizes taken from a damaged file never lead outside it.
TEST_P(VersionElfTest, DamagedFieldsAreRefusedSafely) {
  ElfBuilder elf = Builder();
  elf.AddVersionNote(MakeVersionBlock(0, 1, 1, 137, "0, 1, 1, 137"));
  const std::vector<unsigned char> whole = elf.Build();
  // Overwrites each 4-byte window after the identification with all-ones in turn: huge offsets,
  // sizes, counts and note lengths. Under the sanitizers any read outside the file's bytes
  // fails the test; whatever still loads must be a well-formed record.
  for (std::size_t at = 16; at + 4 <= whole.size(); at += 2) {
    std::vector<unsigned char> damaged = whole;
    for (std::size_t i = 0; i < 4; ++i)
      damaged[at + i] = 0xFF;
    VersionInfo info(WriteBytes(dir_, "program", damaged));
    if (info.Load()) {
      EXPECT_EQ(info.Fixed().dwSignature, kFixedFileInfoSignature) << at;
      EXPECT_EQ(info.BlockSize(), kVersionBlockSize) << at;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, VersionElfTest,
                         ::testing::Values(ElfForm{true, false}, ElfForm{true, true},
                                           ElfForm{false, false}, ElfForm{false, true}),
                         [](const auto& info) {
                           return std::string(info.param.is64 ? "Elf64" : "Elf32") +
                                  (info.param.big_endian ? "BigEndian" : "LittleEndian");
                         });

TEST(VersionInfoTest, AFileWithoutAModificationTimeIsRefused) {
  TempDir dir;
  ElfBuilder elf(true, false);
  elf.AddVersionNote(kProgramVersionBlock);
  const std::string path = WriteBytes(dir, "program", elf.Build());
  VersionInfo dated(path);
  ASSERT_TRUE(dated.Load());
  utimbuf epoch{0, 0};
  ASSERT_EQ(utime(path.c_str(), &epoch), 0);
  VersionInfo undated(path);
  EXPECT_FALSE(undated.Load());
  EXPECT_EQ(undated.FileVersionText(), "0.0.0.0");
}

TEST(AboutDialogTest, ShowsTheProgramsVersionAndBuild) {
  AboutDialog about(nullptr, QS_QUARRYSTREAM);
  EXPECT_EQ(about.VersionText(), QStringLiteral("0.1.1"));
  EXPECT_EQ(about.BuildText(), QStringLiteral("137"));
  EXPECT_EQ(about.windowTitle(), QStringLiteral("About Quarrystream"));
}

}  // namespace
}  // namespace qs
