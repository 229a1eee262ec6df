// The settings file: the bytes QSettings writes for a text read back as that text, the store
// writes the same bytes, and hand edits read as QSettings reads them.
#include "config/ini_settings_store.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/file_system.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

using namespace std::string_literals;

IniSettingsStore Store(const std::string& file) {
  return IniSettingsStore(RealFileSystem(), file);
}

TEST(IniSettingsStore, TextsReadAsQSettingsWroteThemAndAreWrittenTheSameWay) {
  // A text and the value as QSettings (Qt 6) writes it. (It writes a text with a NUL byte as
  // @String(...), read by the next test; the store leaves that wrapper out.)
  const std::pair<std::string, std::string> texts[] = {
      {"\"quotes\" back\\slash \\\\server\\", R"(\"quotes\" back\\slash \\\\server\\)"},
      {"  lead and trail  ", R"("  lead and trail  ")"},
      {"a,\"b\"", R"("a,\"b\"")"},
      {"a;b ; c", R"("a;b ; c")"},
      {"ü, 日本語, 😀 and \x7f", "\"ü, 日本語, 😀 and \x7f\""},
      {"cr\rlf\r\n tab\t and\vvertical tab\t", R"(cr\rlf\r\n tab\t and\vvertical tab\t)"},
      {"bell\a \0011 \037f", R"(bell\a \x1\x31 \x1f\x66)"},  // octal, then a hex digit
      {"nul\0inside\0007"s, R"(nul\0inside\0\x37)"},
      {"@start", "@@start"},
  };
  for (const auto& [text, by_qsettings] : texts) {
    SCOPED_TRACE(by_qsettings);
    test::TempDir dir;
    const std::string by_qt =
        dir.WriteFile("qt.conf", "[Settings]\nPostExecution=" + by_qsettings + "\n");
    EXPECT_EQ(Store(by_qt).ReadText("PostExecution", "default"), text);
    IniSettingsStore store = Store(dir.Path("store.conf"));
    store.WriteText("PostExecution", text);
    EXPECT_EQ(test::ReadFile(dir.Path("store.conf")),
              "[Settings]\nPostExecution=" + by_qsettings + "\n");
    EXPECT_EQ(store.ReadText("PostExecution", "default"), text);
  }
}

// Files as a user or another program may leave them, read as QSettings reads them.
TEST(IniSettingsStore, HandEditedFilesReadAsQSettingsReadsThem) {
  constexpr std::int32_t kNoNumber = 300;
  const struct {
    std::string content;
    std::string text;     // of PostExecution
    std::int32_t number;  // of ReScan
  } files[] = {
      {"[Settings]\nReScan=  42  \nPostExecution=  spaced  \n", "spaced", 42},
      {"[Settings]\nReScan=2147483648\nPostExecution=a ,  b  ,\" c \"\n", "a, b,  c ", INT32_MIN},
      {"[Settings]\nReScan=0x10\nPostExecution=x ; comment\n", "x", kNoNumber},
      {"[Settings]\nPostExecution=\\x41\\x4a\\x4Bz \\101\\7 \\q\\x\n", "AJKz A\a ", kNoNumber},
      {"[Settings]\nPostExecution=@String(nul\\0inside\\0\\x37)\n", "nul\0inside\0007"s, kNoNumber},
      {"[Settings]\nPostExecution=first\n[Other]\nPostExecution=other\n[Settings]\nReScan=5\n",
       "first", 5},
      {"\xEF\xBB\xBF[Settings]\r\n  PostExecution  =  bom and crlf  \r\nReScan=9\r\n",
       "bom and crlf", 9},
      {"; comment\n[settings]\nPostExecution=lower case\n[Settings]\n;PostExecution=x\nReScan=3\n",
       "default", 3},
      {"[Settings]\nPostExecution=one\nno equals here\nPostExecution=two\n", "two", kNoNumber},
  };
  for (const auto& row : files) {
    SCOPED_TRACE(row.content);
    test::TempDir dir;
    const std::string file = dir.WriteFile("Mirrowen.conf", row.content);
    EXPECT_EQ(Store(file).ReadText("PostExecution", "default"), row.text);
    EXPECT_EQ(Store(file).ReadInt("ReScan", kNoNumber), row.number);
  }
}

// Integers are written as QSettings writes them. The file is shared with the companion, which
// rewrites it in well under a second, often with the same size: each such change is seen at the
// next read, not when the file's time moves on; and a write here changes one key and keeps every
// other group, key and comment.
TEST(IniSettingsStore, EveryOutsideChangeIsSeenAndAWriteKeepsTheRestOfTheFile) {
  test::TempDir dir;
  const std::string file = dir.Path("Mirrowen.conf");
  IniSettingsStore store = Store(file);
  EXPECT_EQ(store.ReadInt("ReScan", 300), 300);
  EXPECT_FALSE(test::Exists(file));  // reading a fresh profile writes nothing
  for (const std::int32_t number : {0, -1, INT32_MAX, INT32_MIN, 111, 222, 333}) {
    Store(file).WriteInt("ReScan", number);
    EXPECT_EQ(test::ReadFile(file), "[Settings]\nReScan=" + std::to_string(number) + "\n");
    EXPECT_EQ(store.ReadInt("ReScan", 7), number);
  }
  const std::string kept =
      "; kept by hand\n[General]\nGeometry=\"1, 2\"\n\n[Mirrowen]\nQuiet=1\n\n[Settings]\n";
  dir.WriteFile("Mirrowen.conf", kept + "HideToTray=1\nPostExecution=old\n");
  store.WriteText("PostExecution", "new, with comma");
  store.WriteInt("DeleteSFV", 1);
  EXPECT_EQ(test::ReadFile(file),
            kept + "HideToTray=1\nPostExecution=\"new, with comma\"\nDeleteSFV=1\n");
}

// The worker reads while the settings dialog writes: every read is one whole value.
TEST(IniSettingsStore, ReadersSeeOnlyWholeValuesWhileAWriterWrites) {
  test::TempDir dir;
  IniSettingsStore store = Store(dir.Path("Mirrowen.conf"));
  const std::string values[] = {std::string(200, 'a'), std::string(150, 'b') + " %1, \"x\""};
  store.WriteText("PostExecution", values[0]);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 50; ++i) {
      store.WriteText("PostExecution", values[i % 2]);
    }
    done = true;
  });
  int torn = 0;
  for (int reads = 0; !done.load() || reads == 0; ++reads) {
    const std::string text = store.ReadText("PostExecution", "");
    torn += text != values[0] && text != values[1];
  }
  writer.join();
  EXPECT_EQ(torn, 0);
}

}  // namespace
}  // namespace qs
