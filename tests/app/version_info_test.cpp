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

namespace qs::test {
namespace {

struct ElfForm {
  bool is64;
  bool big_endian;
};

const std::string kOwner(kVersionNoteOwner, sizeof kVersionNoteOwner);  // with its zero

std::string Bytes(const VersionBlockBytes& block) {
  return std::string(block.begin(), block.end());
}

// A minimal ELF file: the header, a null section, the section-name table and one section of
// notes, every multi-byte field in the form's byte order.
class Elf {
 public:
  explicit Elf(ElfForm form) : form_(form) {}

  std::string section_name = std::string(kVersionSectionName);
  std::uint32_t section_type = 7;  // SHT_NOTE

  Elf& AddNote(const std::string& owner_with_zero, std::uint64_t type, const std::string& desc) {
    for (const std::uint64_t field : {std::uint64_t{owner_with_zero.size()}, desc.size(), type})
      Set(notes_, notes_.size(), field, 4);
    for (const std::string& part : {owner_with_zero, desc})
      (notes_ += part).resize((notes_.size() + 3) / 4 * 4, '\0');
    return *this;
  }
  Elf& AddVersionNote(const VersionBlockBytes& block) {
    return AddNote(kOwner, kVersionNoteType, Bytes(block));
  }

  std::string Build() const {
    const std::size_t word = form_.is64 ? 8 : 4;
    const std::size_t header = form_.is64 ? 64 : 52;
    const std::size_t entry = form_.is64 ? 64 : 40;
    const std::string names = std::string("\0.shstrtab\0", 11) + section_name + '\0';
    const std::size_t notes_at = header + names.size() + 8;
    const std::size_t table_at = (notes_at + notes_.size() + 7) / 8 * 8;
    std::string out(table_at + 3 * entry, '\0');
    out.replace(
        0, 7,
        {'\x7F', 'E', 'L', 'F', form_.is64 ? '\2' : '\1', form_.big_endian ? '\2' : '\1', '\1'});
    const std::size_t table_field = form_.is64 ? 40 : 32;  // e_shoff, then the sizes and counts
    Set(out, table_field, table_at, word);
    Set(out, table_field + word + 4, header, 2);
    Set(out, table_field + word + 10, entry, 2);
    Set(out, table_field + word + 12, 3, 2);
    Set(out, table_field + word + 14, 1, 2);  // the name table's index
    out.replace(header, names.size(), names);
    out.replace(notes_at, notes_.size(), notes_);
    SetSection(out, table_at + entry, 1, 3, header, names.size());
    SetSection(out, table_at + 2 * entry, 11, section_type, notes_at, notes_.size());
    return out;
  }

 private:
  void Set(std::string& out, std::size_t at, std::uint64_t value, std::size_t size) const {
    if (out.size() < at + size)
      out.resize(at + size);
    for (std::size_t i = 0; i < size; ++i)
      out[form_.big_endian ? at + size - 1 - i : at + i] = static_cast<char>(value >> (8 * i));
  }
  void SetSection(std::string& out, std::size_t at, std::uint32_t name, std::uint32_t type,
                  std::uint64_t offset, std::uint64_t size) const {
    const std::size_t word = form_.is64 ? 8 : 4;
    Set(out, at, name, 4);
    Set(out, at + 4, type, 4);
    Set(out, at + 8 + 2 * word, offset, word);
    Set(out, at + 8 + 3 * word, size, word);
  }

  ElfForm form_;
  std::string notes_;
};

TEST(VersionInfoTest, TheProgramFileCarriesItsVersion) {
  VersionInfo info(QS_QUARRYSTREAM);
  ASSERT_TRUE(info.Load());
  EXPECT_EQ(info.FileVersion(), (std::array<std::uint16_t, 4>{0, 1, 1, 137}));
  EXPECT_EQ(info.ProductVersion(), (std::array<std::uint16_t, 4>{0, 1, 1, 137}));
  EXPECT_EQ(info.FileVersionText(), "0.1.1.137");
  EXPECT_EQ(info.Fixed().dwSignature, kFixedFileInfoSignature);
  EXPECT_GT(info.ModificationTime(), 0);

  AboutDialog about(nullptr, QS_QUARRYSTREAM);
  EXPECT_EQ(about.VersionText(), QStringLiteral("0.1.1"));
  EXPECT_EQ(about.BuildText(), QStringLiteral("137"));
}

// An empty name is the running executable: the test program links the same libraries but not
// the note. A file of a version dated 1970 counts as one without a time.
TEST(VersionInfoTest, FilesWithoutAVersionReadAsZero) {
  TempDir dir;
  const std::string undated =
      dir.WriteFile("undated", Elf({true, false}).AddVersionNote(kProgramVersionBlock).Build());
  const utimbuf epoch{0, 0};
  ASSERT_EQ(utime(undated.c_str(), &epoch), 0);
  EXPECT_EQ(VersionInfo().FileName(), ExecutablePath());
  for (const std::string& path :
       {std::string(), dir.WriteFile("empty", ""), dir.WriteFile("text", "0, 1, 1, 137\n"),
        dir.WriteFile("elf-magic-only",
                      "\x7F"
                      "ELF"),
        dir.Path("missing"), dir.MakeDir("folder"), undated}) {
    VersionInfo info(path);
    EXPECT_FALSE(info.Load()) << path;
    EXPECT_EQ(info.FileVersionText(), "0.0.0.0") << path;
    EXPECT_EQ(info.BlockSize(), 0u) << path;
  }
}

class VersionElfTest : public ::testing::TestWithParam<ElfForm> {
 protected:
  bool Loads(const std::string& bytes) {
    VersionInfo info(dir_.WriteFile("program", bytes));
    const bool loaded = info.Load();
    if (loaded) {  // whatever loads is a well-formed record
      EXPECT_EQ(info.Fixed().dwSignature, kFixedFileInfoSignature);
      EXPECT_EQ(info.BlockSize(), kVersionBlockSize);
    }
    return loaded;
  }
  TempDir dir_;
};

TEST_P(VersionElfTest, FindsOnlyItsOwnNoteAmongOthers) {
  const VersionBlockBytes block = MakeVersionBlock(2, 7, 11, 65535, "2, 7, 11, 65535");
  Elf elf(GetParam());
  elf.AddNote(std::string("GNU\0", 4), 3, "\1\2\3\4\5").AddVersionNote(block);
  VersionInfo info(dir_.WriteFile("program", elf.Build()));
  ASSERT_TRUE(info.Load());
  EXPECT_EQ(info.FileVersionText(), "2.7.11.65535");

  VersionBlockBytes unsigned_block = block;
  unsigned_block[0] ^= 0xFF;
  std::vector<Elf> others(6, Elf(GetParam()));
  others[0].AddNote(std::string("Quarrystreak\0", 13), kVersionNoteType, Bytes(block));
  others[1].AddNote(kOwner, 1, Bytes(block));
  others[2].section_name = ".note.other";
  others[2].AddVersionNote(block);
  others[3].section_type = 1;  // SHT_PROGBITS
  others[3].AddVersionNote(block);
  others[4].AddVersionNote(unsigned_block);
  others[5].AddNote(kOwner, kVersionNoteType, Bytes(block).substr(0, 51));
  for (std::size_t i = 0; i < others.size(); ++i) {
    EXPECT_FALSE(Loads(others[i].Build())) << i;
  }
}

// Every prefix of a valid file, and the file with each 4-byte window after the identification
// set to all-ones (huge offsets, sizes, counts and note lengths): under the sanitizers any read
// outside the file's bytes fails the test; only a file that holds the whole note may load.
TEST_P(VersionElfTest, TruncatedAndDamagedFilesAreRefusedSafely) {
  const std::string whole = Elf(GetParam()).AddVersionNote(kProgramVersionBlock).Build();
  ASSERT_TRUE(Loads(whole));
  for (std::size_t size = 0; size < whole.size(); ++size) {
    EXPECT_FALSE(Loads(whole.substr(0, size))) << size;
  }
  for (std::size_t at = 16; at + 4 <= whole.size(); at += 2) {
    Loads(std::string(whole).replace(at, 4, 4, '\xFF'));
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, VersionElfTest,
                         ::testing::Values(ElfForm{true, false}, ElfForm{true, true},
                                           ElfForm{false, false}, ElfForm{false, true}),
                         [](const auto& info) {
                           return std::string(info.param.is64 ? "Elf64" : "Elf32") +
                                  (info.param.big_endian ? "BigEndian" : "LittleEndian");
                         });

}  // namespace
}  // namespace qs::test
