// The store of the headless program against QSettings on the same file: whatever one writes, the
// other reads back unchanged, and hand-edited files read the same through both.
#include "config/ini_settings_store.h"

#include <gtest/gtest.h>

#include <QSettings>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <string>
#include <thread>

#include "app/qt_settings_store.h"
#include "platform/file_system.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

using namespace std::string_literals;

const std::string kNastyTexts[] = {
    "",
    "plain",
    "with \"quotes\" inside",
    "\"quoted whole\"",
    "  lead and trail  ",
    " lead",
    "trail ",
    " ",
    "run %1 \"%2\" %3",
    "%",
    "a, b, c",
    "a,\"b\"",
    "a;b ; c",
    "k=v",
    "=",
    ",",
    "\"",
    "\\",
    "back\\slash and \\\\server\\share\\",
    "C:\\Program Files\\x.exe \"%1\"",
    "ends with backslash\\",
    "ü, 日本語 and 😀",
    "line\nbreak",
    "tab\there\tand\vvertical",
    "cr\rlf\r\n",
    "bell\a and \x01"
    "1 and \x1f"
    "f",
    "nul\0inside\0"s
    "7",
    "\x7f delete",
    "@start",
    "@@double",
    "@",
    "@Variant(not one)",
    "@ByteArray(x)",
    "@Invalid()",
    "[Settings]",
    "; comment",
    "# hash",
    "trailing tab\t",
};

const std::int32_t kNumbers[] = {0, 1, -1, 300, 42, INT32_MAX, INT32_MIN, -42};

class IniSettingsStoreTest : public ::testing::Test {
 protected:
  // A fresh file for every value: QSettings may keep its parsed copy of a file whose size and
  // time stayed the same, which would make the Qt side read a stale value.
  std::string NextFile() { return dir_.Path(NextName()); }
  std::string NewFile(std::string_view content) { return dir_.WriteFile(NextName(), content); }
  std::string NextName() { return "Mirrowen" + std::to_string(++files_) + ".conf"; }
  static QtSettingsStore Qt(const std::string& file) {
    return QtSettingsStore(QString::fromStdString(file));
  }
  IniSettingsStore Ini(const std::string& file) { return IniSettingsStore(RealFileSystem(), file); }

  test::TempDir dir_;
  int files_ = 0;
};

TEST_F(IniSettingsStoreTest, TextsWrittenByQSettingsReadBackUnchanged) {
  for (const std::string& text : kNastyTexts) {
    const std::string file = NextFile();
    Qt(file).WriteText("PostExecution", text);
    EXPECT_EQ(Ini(file).ReadText("PostExecution", "default"), text) << test::ReadFile(file);
  }
}

TEST_F(IniSettingsStoreTest, TextsWrittenHereReadBackUnchangedThroughQSettings) {
  for (const std::string& text : kNastyTexts) {
    const std::string file = NextFile();
    IniSettingsStore store = Ini(file);
    store.WriteText("PostExecution", text);
    EXPECT_EQ(Qt(file).ReadText("PostExecution", "default"), text) << test::ReadFile(file);
    EXPECT_EQ(store.ReadText("PostExecution", "default"), text);
  }
}

TEST_F(IniSettingsStoreTest, IntegersGoBothWays) {
  for (const std::int32_t number : kNumbers) {
    const std::string by_qt = NextFile();
    Qt(by_qt).WriteInt("ReScan", number);
    EXPECT_EQ(Ini(by_qt).ReadInt("ReScan", 7), number);
    EXPECT_EQ(Ini(by_qt).ReadText("ReScan", ""), std::to_string(number));
    const std::string by_ini = NextFile();
    Ini(by_ini).WriteInt("ReScan", number);
    EXPECT_EQ(Qt(by_ini).ReadInt("ReScan", 7), number);
    EXPECT_EQ(test::ReadFile(by_ini), test::ReadFile(by_qt));  // the very same file
  }
}

// Files as a user or another program may leave them: both stores read the same text and number.
TEST_F(IniSettingsStoreTest, HandEditedFilesReadAsQSettingsReadsThem) {
  const std::string files[] = {
      "[Settings]\nReScan=  42  \nPostExecution=  spaced  \n",
      "[Settings]\nReScan=\" 42 \"\n",
      "[Settings]\nReScan=+7\n",
      "[Settings]\nReScan=-0\n",
      "[Settings]\nReScan=0x10\n",
      "[Settings]\nReScan=1e3\n",
      "[Settings]\nReScan=2147483648\n",
      "[Settings]\nReScan=-2147483649\n",
      "[Settings]\nReScan=12 seconds\n",
      "[Settings]\nReScan=1,2\n",
      "[Settings]\nReScan=@ByteArray(17)\n",
      "[Settings]\nPostExecution=cmd %1, %2\n",
      "[Settings]\nPostExecution=a ,  b  ,\" c \"\n",
      "[Settings]\nPostExecution=a, @b\n",
      "[Settings]\nPostExecution=@@x, y\n",
      "[Settings]\nPostExecution=\"a\" \"b\"  tail  \n",
      "[Settings]\nPostExecution=x ; comment\n",
      "[Settings]\nPostExecution=\"multi\nline\"\n",
      "[Settings]\nPostExecution=cont\\\n  inued\n",
      "[Settings]\nPostExecution=\\x41\\x4a\\x4Bz \\101\\7 \\q\\x\n",
      "[Settings]\nPostExecution=\\x\n",
      "[Settings]\nPostExecution=trail\\t \n",
      "[Settings]\nPostExecution=@Invalid()\n",
      "[Settings]\nPostExecution=@ByteArray(bytes)\n",
      "[Settings]\nPostExecution=@Rect(1 2 3 4)\n",
      "[Settings]\nPostExecution=@Rect(1 2)\n",
      "[Settings]\nPostExecution=@Size(1 2)\n",
      "[Settings]\nPostExecution=@Point(1 2 3)\n",
      "[settings]\nPostExecution=lower-case group\n",
      "[General]\nSettings\\PostExecution=from general\n",
      "[Settings]\nPostExecution=in group\n[General]\nSettings\\PostExecution=general\n",
      "[Settings]\nPostExecution=first\n[Other]\nPostExecution=other\n[Settings]\nReScan=5\n",
      "[Settings]\nPostExecution=one\nPostExecution=two\n",
      "\xEF\xBB\xBF[Settings]\nPostExecution=after a byte order mark\n",
      "[Settings]\r\nPostExecution=crlf\r\nReScan=9\r\n",
      "[ Settings ]\nPostExecution=blank header\n",
      "[Settings]\n  PostExecution  =  blank key  \n",
      "[Settings]\nPost%45xecution=escaped key\n",
      "[Settings\nPostExecution=unclosed\n",
      "; leading comment\n[Settings]\n;PostExecution=commented\nReScan=3\n",
      "[Settings]\nno equals here\nPostExecution=after junk\n",
      "[Settings]\nPostExecution=\n",
      "PostExecution=general only\n",
  };
  for (const std::string& content : files) {
    const std::string file = NewFile(content);
    EXPECT_EQ(Ini(file).ReadText("PostExecution", "default"),
              Qt(file).ReadText("PostExecution", "default"))
        << content;
    EXPECT_EQ(Ini(file).ReadInt("ReScan", 300), Qt(file).ReadInt("ReScan", 300)) << content;
  }
}

// The file is shared with the companion and the desktop program: a write here changes one key
// and keeps every other group, key and comment.
TEST_F(IniSettingsStoreTest, AWriteKeepsEverythingElseOfTheFile) {
  const std::string file = NextFile();
  {
    QSettings qt(QString::fromStdString(file), QSettings::IniFormat);
    qt.setValue(QStringLiteral("General/Geometry"), QStringLiteral("1, 2"));
    qt.setValue(QStringLiteral("Mirrowen/Quiet"), 1);
    qt.setValue(QStringLiteral("Settings/HideToTray"), 1);
    qt.setValue(QStringLiteral("Settings/PostExecution"), QStringLiteral("old"));
  }
  const std::string comment = "; kept by hand\n";
  const std::string with_comment = comment + test::ReadFile(file);
  dir_.WriteFile(file.substr(dir_.path().size() + 1), with_comment);
  IniSettingsStore store = Ini(file);
  store.WriteText("PostExecution", "new, with comma");
  store.WriteInt("DeleteSFV", 1);
  QSettings qt(QString::fromStdString(file), QSettings::IniFormat);
  EXPECT_EQ(qt.value(QStringLiteral("General/Geometry")).toString(), QStringLiteral("1, 2"));
  EXPECT_EQ(qt.value(QStringLiteral("Mirrowen/Quiet")).toInt(), 1);
  EXPECT_EQ(qt.value(QStringLiteral("Settings/HideToTray")).toInt(), 1);
  EXPECT_EQ(qt.value(QStringLiteral("Settings/PostExecution")).toString(),
            QStringLiteral("new, with comma"));
  EXPECT_EQ(qt.value(QStringLiteral("Settings/DeleteSFV")).toInt(), 1);
  EXPECT_EQ(qt.allKeys().size(), 5);
  EXPECT_TRUE(test::ReadFile(file).starts_with(comment)) << test::ReadFile(file);
}

// QSettings rewrites a file in well under a second, often with the same size: each such change is
// seen at the next read, not when the file's time moves on.
TEST_F(IniSettingsStoreTest, EveryChangeByAnotherProgramIsSeenAtTheNextRead) {
  const std::string file = NextFile();
  IniSettingsStore store = Ini(file);
  EXPECT_EQ(store.ReadInt("ReScan", 300), 300);
  for (const std::int32_t number : {111, 222, 333, 444}) {
    Qt(file).WriteInt("ReScan", number);
    EXPECT_EQ(store.ReadInt("ReScan", 300), number);
  }
  store.WriteInt("ReScan", 555);
  EXPECT_EQ(store.ReadInt("ReScan", 300), 555);
}

TEST_F(IniSettingsStoreTest, ReadersSeeOnlyWholeValuesWhileAWriterWrites) {
  const std::string file = NextFile();
  IniSettingsStore store = Ini(file);
  const std::string first(200, 'a');
  const std::string second = std::string(150, 'b') + " %1, \"x\"";
  store.WriteText("PostExecution", first);
  store.WriteInt("ReScan", 111111);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 50; ++i) {
      store.WriteText("PostExecution", i % 2 ? first : second);
      store.WriteInt("ReScan", i % 2 ? 111111 : -222222);
    }
    done = true;
  });
  int torn = 0;
  int reads = 0;
  while (!done.load() || reads == 0) {
    const std::string text = store.ReadText("PostExecution", "");
    const std::int32_t number = store.ReadInt("ReScan", 0);
    torn += (text != first && text != second) || (number != 111111 && number != -222222);
    ++reads;
  }
  writer.join();
  EXPECT_EQ(torn, 0);
}

TEST(IniSettingsStoreDefault, IsTheFileOfTheMirrowenProfile) {
  test::TempDir dir;
  ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromStdString(dir.path()));
  EXPECT_EQ(MirrowenSettingsFile(), dir.Path("Mirrowen/Mirrowen.conf"));
  QtSettingsStore qt;
  qt.WriteText("PostExecution", "from the desktop program");
  IniSettingsStore ini(RealFileSystem(), MirrowenSettingsFile());
  EXPECT_EQ(ini.ReadText("PostExecution", ""), "from the desktop program");
  ini.WriteInt("HideToTray", 1);
  EXPECT_EQ(qt.ReadInt("HideToTray", 0), 1);
}

}  // namespace
}  // namespace qs
