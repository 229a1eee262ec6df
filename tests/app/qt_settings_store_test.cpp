#include "app/qt_settings_store.h"

#include <gtest/gtest.h>

#include <QSettings>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "config/settings_keys.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

QString ToQString(const std::string& text) {
  return QString::fromStdString(text);
}

class QtSettingsStoreTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
  std::string file_ = dir_.Path("Mirrowen.conf");
  QtSettingsStore store_{ToQString(file_)};
};

TEST_F(QtSettingsStoreTest, FreshProfileReadsEveryDefaultAndWritesNothing) {
  for (const SettingSpec& spec : AllSettings()) {
    if (spec.type == SettingType::kInteger) {
      EXPECT_EQ(ReadInt(store_, spec.setting), spec.int_default) << spec.key;
    } else {
      EXPECT_EQ(ReadText(store_, spec.setting), spec.text_default) << spec.key;
    }
  }
  EXPECT_EQ(ReadInt(store_, Setting::ReScan), 300);
  EXPECT_FALSE(AsksOnRemove(store_));
  EXPECT_TRUE(AsksOnQuit(store_));
  EXPECT_FALSE(test::Exists(file_));
}

TEST_F(QtSettingsStoreTest, ValuesAreWrittenToTheFileAtOnceInGroupSettings) {
  store_.WriteInt("ReScan", 42);
  store_.WriteText("PostExecution", "cmd");
  const std::string text = test::ReadFile(file_);
  EXPECT_NE(text.find("[Settings]"), std::string::npos) << text;
  EXPECT_NE(text.find("ReScan=42"), std::string::npos) << text;
  EXPECT_NE(text.find("PostExecution=cmd"), std::string::npos) << text;
  EXPECT_EQ(text.find("[General]"), std::string::npos) << text;
}

TEST_F(QtSettingsStoreTest, HandEditedValuesAreReadAndNonNumbersGiveTheDefault) {
  dir_.WriteFile("Mirrowen.conf",
                 "[Settings]\nConfirmationLevel=2\nReScan=abc\nHideToTray=1x\n"
                 "PostExecution=cmd %1, %2\n[Other]\nDeleteSFV=1\n");
  EXPECT_EQ(ReadInt(store_, Setting::ConfirmationLevel), 2);
  EXPECT_TRUE(AsksOnRemove(store_));
  EXPECT_EQ(ReadInt(store_, Setting::ReScan), 300);
  EXPECT_EQ(ReadInt(store_, Setting::HideToTray), 0);
  EXPECT_EQ(ReadInt(store_, Setting::DeleteSFV), 0);
  EXPECT_EQ(ReadText(store_, Setting::PostExecution), "cmd %1, %2");
  store_.WriteText("ReScan", "12 seconds");
  EXPECT_EQ(ReadInt(store_, Setting::ReScan), 300);
}

TEST_F(QtSettingsStoreTest, AWriteThroughAnotherStoreIsSeenByALiveOne) {
  EXPECT_EQ(ReadInt(store_, Setting::RenameSFV), 0);
  QtSettingsStore other(ToQString(file_));
  WriteInt(other, Setting::RenameSFV, 1);
  EXPECT_TRUE(IsOn(store_, Setting::RenameSFV));
}

// The worker reads while the settings dialog writes: every read is one whole value.
TEST_F(QtSettingsStoreTest, ReaderThreadSeesOnlyWholeValuesWhileAWriterWrites) {
  const std::string first(200, 'a');
  const std::string second = std::string(150, 'b') + " %1";
  store_.WriteText("PostExecution", first);
  store_.WriteInt("ReScan", 111111);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 50; ++i) {
      store_.WriteText("PostExecution", i % 2 ? first : second);
      store_.WriteInt("ReScan", i % 2 ? 111111 : -222222);
    }
    done = true;
  });
  int torn = 0;
  int reads = 0;
  while (!done.load() || reads == 0) {
    const std::string text = store_.ReadText("PostExecution", "");
    const std::int32_t number = store_.ReadInt("ReScan", 0);
    torn += (text != first && text != second) || (number != 111111 && number != -222222);
    ++reads;
  }
  writer.join();
  EXPECT_EQ(torn, 0);
}

}  // namespace
}  // namespace qs
