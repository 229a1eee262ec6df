// The settings file: the bytes QSettings writes for a text read back as that text, the store
// writes the same bytes, and hand edits read as QSettings reads them.
#include "config/ini_settings_store.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/file_system.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

using namespace std::string_literals;

struct Written {
  std::string text;
  std::string by_qsettings;   // the value as QSettings (Qt 6) writes it
  std::string by_store = {};  // only where the store's bytes differ
};

const Written kTexts[] = {
    {"", ""},
    {"with \"quotes\" inside", R"(with \"quotes\" inside)"},
    {"  lead and trail  ", R"("  lead and trail  ")"},
    {"trail ", R"("trail ")"},
    {"run %1 \"%2\" %3", R"(run %1 \"%2\" %3)"},
    {"a,\"b\"", R"("a,\"b\"")"},
    {"a;b ; c", R"("a;b ; c")"},
    {"k=v", R"("k=v")"},
    {"back\\slash and \\\\server\\share\\", R"(back\\slash and \\\\server\\share\\)"},
    {"ü, 日本語 and 😀", "\"ü, 日本語 and 😀\""},
    {"line\nbreak", R"(line\nbreak)"},
    {"tab\there\tand\vvertical", R"(tab\there\tand\vvertical)"},
    {"cr\rlf\r\n", R"(cr\rlf\r\n)"},
    {"bell\a and \x01"
     "1 and \x1f"
     "f",
     R"(bell\a and \x1\x31 and \x1f\x66)"},
    {"nul\0inside\0"s
     "7",
     R"(@String(nul\0inside\0\x37))", R"(nul\0inside\0\x37)"},
    {"\x7f delete", "\x7f delete"},
    {"@start", "@@start"},
    {"@", "@@"},
    {"; comment", R"("; comment")"},
    {"trailing tab\t", R"(trailing tab\t)"},
};

class IniSettingsStoreTest : public ::testing::Test {
 protected:
  std::string NewFile(std::string_view content) { return dir_.WriteFile(NextName(), content); }
  std::string NextFile() { return dir_.Path(NextName()); }
  std::string NextName() { return "Mirrowen" + std::to_string(++files_) + ".conf"; }
  static IniSettingsStore Store(const std::string& file) {
    return IniSettingsStore(RealFileSystem(), file);
  }

  test::TempDir dir_;
  int files_ = 0;
};

TEST_F(IniSettingsStoreTest, TextsReadAsQSettingsWroteThemAndAreWrittenTheSameWay) {
  for (const Written& row : kTexts) {
    const std::string by_qt = NewFile("[Settings]\nPostExecution=" + row.by_qsettings + "\n");
    EXPECT_EQ(Store(by_qt).ReadText("PostExecution", "default"), row.text) << row.by_qsettings;
    const std::string file = NextFile();
    IniSettingsStore store = Store(file);
    store.WriteText("PostExecution", row.text);
    const std::string& expected = row.by_store.empty() ? row.by_qsettings : row.by_store;
    EXPECT_EQ(test::ReadFile(file), "[Settings]\nPostExecution=" + expected + "\n");
    EXPECT_EQ(store.ReadText("PostExecution", "default"), row.text);
  }
}

// Files as a user or another program may leave them, read as QSettings reads them.
TEST_F(IniSettingsStoreTest, HandEditedFilesReadAsQSettingsReadsThem) {
  constexpr std::int32_t kNoNumber = 300;
  const struct {
    std::string content;
    std::string text;     // of PostExecution
    std::int32_t number;  // of ReScan
  } files[] = {
      {"[Settings]\nReScan=  42  \nPostExecution=  spaced  \n", "spaced", 42},
      {"[Settings]\nReScan=\" 42 \"\n", "default", 42},
      {"[Settings]\nReScan=+7\n", "default", 7},
      {"[Settings]\nReScan=0x10\n", "default", kNoNumber},
      {"[Settings]\nReScan=2147483648\n", "default", INT32_MIN},
      {"[Settings]\nReScan=1,2\n", "default", kNoNumber},
      {"[Settings]\nReScan=@ByteArray(17)\n", "default", 17},
      {"[Settings]\nPostExecution=a ,  b  ,\" c \"\n", "a, b,  c ", kNoNumber},
      {"[Settings]\nPostExecution=x ; comment\n", "x", kNoNumber},
      {"[Settings]\nPostExecution=\\x41\\x4a\\x4Bz \\101\\7 \\q\\x\n", "AJKz A\a ", kNoNumber},
      {"[Settings]\nPostExecution=@Invalid()\n", "default", kNoNumber},
      {"[Settings]\nPostExecution=@Rect(1 2 3 4)\n", "", kNoNumber},
      {"[settings]\nPostExecution=lower-case group\n", "default", kNoNumber},
      {"[General]\nSettings\\PostExecution=from general\n", "default", kNoNumber},
      {"[Settings]\nPostExecution=first\n[Other]\nPostExecution=other\n[Settings]\nReScan=5\n",
       "first", 5},
      {"[Settings]\nPostExecution=one\nPostExecution=two\n", "two", kNoNumber},
      {"\xEF\xBB\xBF[Settings]\nPostExecution=after a byte order mark\n", "after a byte order mark",
       kNoNumber},
      {"[Settings]\r\nPostExecution=crlf\r\nReScan=9\r\n", "crlf", 9},
      {"[Settings]\n  PostExecution  =  blank key  \n", "blank key", kNoNumber},
      {"; leading comment\n[Settings]\n;PostExecution=commented\nReScan=3\n", "default", 3},
      {"[Settings]\nno equals here\nPostExecution=after junk\n", "after junk", kNoNumber},
  };
  for (const auto& row : files) {
    const std::string file = NewFile(row.content);
    EXPECT_EQ(Store(file).ReadText("PostExecution", "default"), row.text) << row.content;
    EXPECT_EQ(Store(file).ReadInt("ReScan", kNoNumber), row.number) << row.content;
  }
}

// The file is shared with the companion: a write here changes one key and keeps every other
// group, key and comment.
TEST_F(IniSettingsStoreTest, AWriteKeepsEverythingElseOfTheFile) {
  const std::string file = NewFile(
      "; kept by hand\n[General]\nGeometry=\"1, 2\"\n\n[Mirrowen]\nQuiet=1\n\n"
      "[Settings]\nHideToTray=1\nPostExecution=old\n");
  IniSettingsStore store = Store(file);
  store.WriteText("PostExecution", "new, with comma");
  store.WriteInt("DeleteSFV", 1);
  EXPECT_EQ(test::ReadFile(file),
            "; kept by hand\n[General]\nGeometry=\"1, 2\"\n\n[Mirrowen]\nQuiet=1\n\n"
            "[Settings]\nHideToTray=1\nPostExecution=\"new, with comma\"\nDeleteSFV=1\n");
}

// Integers are written as QSettings writes them. Another program rewrites the file in well under
// a second, often with the same size: each such change is seen at the next read, not when the
// file's time moves on.
TEST_F(IniSettingsStoreTest, IntegersAsQSettingsWritesThemAndEveryOutsideChangeIsSeen) {
  const std::string file = NextFile();
  IniSettingsStore store = Store(file);
  EXPECT_EQ(store.ReadInt("ReScan", 300), 300);
  EXPECT_FALSE(test::Exists(file));  // reading a fresh profile writes nothing
  for (const std::int32_t number : {0, -1, INT32_MAX, INT32_MIN, 111, 222, 333}) {
    Store(file).WriteInt("ReScan", number);
    EXPECT_EQ(test::ReadFile(file), "[Settings]\nReScan=" + std::to_string(number) + "\n");
    EXPECT_EQ(store.ReadInt("ReScan", 7), number);
  }
}

// The worker reads while the settings dialog writes: every read is one whole value.
TEST_F(IniSettingsStoreTest, ReadersSeeOnlyWholeValuesWhileAWriterWrites) {
  const std::string file = NextFile();
  IniSettingsStore store = Store(file);
  const std::string first(200, 'a');
  const std::string second = std::string(150, 'b') + " %1, \"x\"";
  store.WriteText("PostExecution", first);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 50; ++i) {
      store.WriteText("PostExecution", i % 2 ? first : second);
    }
    done = true;
  });
  int torn = 0;
  int reads = 0;
  while (!done.load() || reads == 0) {
    const std::string text = store.ReadText("PostExecution", "");
    torn += text != first && text != second;
    ++reads;
  }
  writer.join();
  EXPECT_EQ(torn, 0);
}

TEST(IniSettingsStoreDefault, IsTheFileOfTheMirrowenProfile) {
  test::TempDir dir;
  ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
  EXPECT_EQ(MirrowenSettingsFile(), dir.Path("Mirrowen/Mirrowen.conf"));
}

}  // namespace
}  // namespace qs
