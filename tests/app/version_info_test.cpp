// The version reader on the program itself, on files without a version, and on hand-made ELF
// files, whole and damaged.
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

const std::string kOwner(kVersionNoteOwner, sizeof kVersionNoteOwner);  // with its zero
const std::string kBlock(kProgramVersionBlock.begin(), kProgramVersionBlock.end());

// Writes `value` little-endian into `size` bytes of `out` at `at`, growing it as needed.
void Set(std::string& out, std::size_t at, std::uint64_t value, std::size_t size) {
  out.resize(std::max(out.size(), at + size));
  for (std::size_t i = 0; i < size; ++i)
    out[at + i] = static_cast<char>(value >> (8 * i));
}

// A minimal 64-bit ELF file: the header, a null section, the section-name table and one
// section of notes.
struct Elf {
  std::string section_name = std::string(kVersionSectionName);
  std::uint32_t section_type = 7;  // SHT_NOTE
  std::string notes;

  Elf& AddNote(const std::string& owner_with_zero, std::uint64_t type, const std::string& desc) {
    for (const std::uint64_t field : {std::uint64_t{owner_with_zero.size()}, desc.size(), type})
      Set(notes, notes.size(), field, 4);
    for (const std::string& part : {owner_with_zero, desc})
      (notes += part).resize((notes.size() + 3) / 4 * 4, '\0');
    return *this;
  }

  std::string Build() const {
    const std::string names = std::string("\0.shstrtab\0", 11) + section_name + '\0';
    const std::size_t notes_at = 64 + names.size() + 8;
    const std::size_t table_at = (notes_at + notes.size() + 7) / 8 * 8;
    std::string out(table_at + 3 * 64, '\0');
    out.replace(0, 7,
                "\x7F"
                "ELF\2\1\1");
    Set(out, 40, table_at, 8);  // e_shoff, then the sizes and counts
    Set(out, 52, 64, 2);
    Set(out, 58, 64, 2);
    Set(out, 60, 3, 2);
    Set(out, 62, 1, 2);  // the name table's index
    out.replace(64, names.size(), names);
    out.replace(notes_at, notes.size(), notes);
    const std::uint64_t sections[2][4] = {{1, 3, 64, names.size()},
                                          {11, section_type, notes_at, notes.size()}};
    for (int i = 0; i < 2; ++i) {
      const std::size_t at = table_at + 64 * (i + 1);
      Set(out, at, sections[i][0], 4);
      Set(out, at + 4, sections[i][1], 4);
      Set(out, at + 24, sections[i][2], 8);
      Set(out, at + 32, sections[i][3], 8);
    }
    return out;
  }
};

TEST(VersionInfoTest, TheProgramFileCarriesItsVersion) {
  VersionInfo info(QS_QUARRYSTREAM);
  ASSERT_TRUE(info.Load());
  EXPECT_EQ(info.FileVersion(), (std::array<std::uint16_t, 4>{0, 1, 1, 137}));
  EXPECT_EQ(info.ProductVersion(), (std::array<std::uint16_t, 4>{0, 1, 1, 137}));
  EXPECT_EQ(info.FileVersionText(), "0.1.1.137");
  EXPECT_GT(info.ModificationTime(), 0);

  AboutDialog about(nullptr, QS_QUARRYSTREAM);
  EXPECT_EQ(about.VersionText(), QStringLiteral("0.1.1"));
  EXPECT_EQ(about.BuildText(), QStringLiteral("137"));
}

// Only a file that holds the whole note of its own owner, type and section loads. A file of a
// version dated 1970 counts as one without a time. Under the sanitizers any read outside the
// file's bytes fails the test: every prefix of a valid file, and the file with each 4-byte
// window after the identification set to all-ones (huge offsets, sizes, counts and lengths).
TEST(VersionInfoTest, OnlyAWholeVersionNoteLoads) {
  TempDir dir;
  const auto loads = [&](const std::string& bytes) {
    VersionInfo info(dir.WriteFile("program", bytes));
    const bool loaded = info.Load();
    if (loaded) {  // whatever loads is a well-formed record
      EXPECT_EQ(info.Fixed().dwSignature, kFixedFileInfoSignature);
      EXPECT_EQ(info.BlockSize(), kVersionBlockSize);
    } else {
      EXPECT_EQ(info.FileVersionText(), "0.0.0.0");
    }
    return loaded;
  };
  // Found among other notes.
  const VersionBlockBytes block = MakeVersionBlock(2, 7, 11, 65535, "2, 7, 11, 65535");
  const std::string whole =
      Elf()
          .AddNote(std::string("GNU\0", 4), 3, "\1\2\3\4\5")
          .AddNote(kOwner, kVersionNoteType, std::string(block.begin(), block.end()))
          .Build();
  VersionInfo info(dir.WriteFile("whole", whole));
  ASSERT_TRUE(info.Load());
  EXPECT_EQ(info.FileVersionText(), "2.7.11.65535");

  std::vector<Elf> others(6);
  others[0].AddNote(std::string("Quarrystreak\0", 13), kVersionNoteType, kBlock);
  others[1].AddNote(kOwner, 1, kBlock);
  others[2].section_name = ".note.other";
  others[2].AddNote(kOwner, kVersionNoteType, kBlock);
  others[3].section_type = 1;  // SHT_PROGBITS
  others[3].AddNote(kOwner, kVersionNoteType, kBlock);
  const char unsigned_first = static_cast<char>(kBlock[0] ^ 0xFF);
  others[4].AddNote(kOwner, kVersionNoteType, std::string(kBlock).replace(0, 1, 1, unsigned_first));
  others[5].AddNote(kOwner, kVersionNoteType, kBlock.substr(0, 51));
  for (std::size_t i = 0; i < others.size(); ++i)
    EXPECT_FALSE(loads(others[i].Build())) << i;

  EXPECT_EQ(VersionInfo().FileName(), ExecutablePath());  // an empty name: the running program
  const utimbuf epoch{0, 0};
  dir.WriteFile("undated", whole);
  ASSERT_EQ(utime(dir.Path("undated").c_str(), &epoch), 0);
  for (const std::string& path : {dir.WriteFile("empty", ""), dir.WriteFile("text", "0, 1\n"),
                                  dir.Path("missing"), dir.MakeDir("folder"), dir.Path("undated")})
    EXPECT_FALSE(VersionInfo(path).Load()) << path;

  for (std::size_t size = 0; size < whole.size(); ++size)
    EXPECT_FALSE(loads(whole.substr(0, size))) << size;
  for (std::size_t at = 16; at + 4 <= whole.size(); at += 2)
    loads(std::string(whole).replace(at, 4, 4, '\xFF'));
}

}  // namespace
}  // namespace qs::test
