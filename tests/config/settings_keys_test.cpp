#include "config/settings_keys.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>

#include "config/memory_settings_store.h"

namespace qs {
namespace {

struct DefaultCase {
  Setting setting;
  const char* key;
  SettingType type;
  std::int32_t int_default;
};

class SettingDefaultTest : public ::testing::TestWithParam<DefaultCase> {};

TEST_P(SettingDefaultTest, FreshProfileReadsTheDefault) {
  const DefaultCase& expected = GetParam();
  const SettingSpec& spec = SpecOf(expected.setting);
  EXPECT_EQ(spec.setting, expected.setting);
  EXPECT_EQ(spec.key, expected.key);
  EXPECT_EQ(spec.type, expected.type);
  MemorySettingsStore fresh;
  if (expected.type == SettingType::kInteger) {
    EXPECT_EQ(ReadInt(fresh, expected.setting), expected.int_default);
  } else {
    EXPECT_EQ(ReadText(fresh, expected.setting), "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, SettingDefaultTest,
    ::testing::Values(
        DefaultCase{Setting::ReScan, "ReScan", SettingType::kInteger, 300},
        DefaultCase{Setting::PostExecution, "PostExecution", SettingType::kText, 0},
        DefaultCase{Setting::HideToTray, "HideToTray", SettingType::kInteger, 0},
        DefaultCase{Setting::ConfirmationLevel, "ConfirmationLevel", SettingType::kInteger, 1},
        DefaultCase{Setting::RenameSFV, "RenameSFV", SettingType::kInteger, 0},
        DefaultCase{Setting::DeleteSFV, "DeleteSFV", SettingType::kInteger, 0},
        DefaultCase{Setting::CreateNoCheckFile, "CreateNoCheckFile", SettingType::kInteger, 1},
        DefaultCase{Setting::DeleteQuarrystream, "DeleteQuarrystream", SettingType::kInteger, 1},
        DefaultCase{Setting::AddQuietToMirrowen, "AddQuietToMirrowen", SettingType::kInteger, 1},
        DefaultCase{Setting::AutoRunAtStartup, "AutoRunAtStartup", SettingType::kInteger, 0}),
    [](const auto& info) { return std::string(info.param.key); });

TEST(SettingsTable, ListsTenDistinctKeys) {
  std::set<std::string_view> keys;
  for (const SettingSpec& spec : AllSettings()) {
    keys.insert(spec.key);
  }
  EXPECT_EQ(AllSettings().size(), 10u);
  EXPECT_EQ(keys.size(), 10u);
}

struct LevelCase {
  std::int32_t value;
  bool is_on;
  bool asks_on_quit;
  bool asks_on_remove;
};

class SwitchValueTest : public ::testing::TestWithParam<LevelCase> {};

TEST_P(SwitchValueTest, OnlyExactValuesCount) {
  MemorySettingsStore store;
  WriteInt(store, Setting::HideToTray, GetParam().value);
  WriteInt(store, Setting::ConfirmationLevel, GetParam().value);
  EXPECT_EQ(IsOn(store, Setting::HideToTray), GetParam().is_on);
  EXPECT_EQ(AsksOnQuit(store), GetParam().asks_on_quit);
  EXPECT_EQ(AsksOnRemove(store), GetParam().asks_on_remove);
}

INSTANTIATE_TEST_SUITE_P(Values, SwitchValueTest,
                         ::testing::Values(LevelCase{0, false, false, false},
                                           LevelCase{1, true, true, false},
                                           LevelCase{2, false, true, true},
                                           LevelCase{3, false, true, false},
                                           LevelCase{-1, false, true, false}));

TEST(Confirmation, FreshProfileAsksOnQuitButNotOnRemove) {
  MemorySettingsStore fresh;
  EXPECT_TRUE(AsksOnQuit(fresh));
  EXPECT_FALSE(AsksOnRemove(fresh));
  EXPECT_TRUE(IsOn(fresh, Setting::CreateNoCheckFile));
  EXPECT_FALSE(IsOn(fresh, Setting::HideToTray));
}

TEST(SaveAutoRun, OnForcesHideToTrayAndAsksForTheEntry) {
  MemorySettingsStore store;
  WriteInt(store, Setting::HideToTray, 0);
  EXPECT_TRUE(SaveAutoRun(store, 1));
  EXPECT_EQ(ReadInt(store, Setting::AutoRunAtStartup), 1);
  EXPECT_EQ(ReadInt(store, Setting::HideToTray), 1);
}

TEST(SaveAutoRun, AnyOtherValueRemovesTheEntryAndLeavesHideToTray) {
  for (std::int32_t value : {0, 2, -1}) {
    MemorySettingsStore store;
    EXPECT_FALSE(SaveAutoRun(store, value));
    EXPECT_EQ(ReadInt(store, Setting::AutoRunAtStartup), value);
    EXPECT_EQ(store.ReadInt("HideToTray", -5), -5) << value;
  }
}

TEST(MemorySettingsStore, ConvertsBetweenTypesAsTheProfileFileDoes) {
  MemorySettingsStore store;
  store.WriteInt("ReScan", 42);
  EXPECT_EQ(store.ReadText("ReScan", "x"), "42");
  store.WriteText("ReScan", "17");
  EXPECT_EQ(store.ReadInt("ReScan", 300), 17);
  for (const char* bad : {"abc", "12abc", "", " 5", "99999999999"}) {
    store.WriteText("ReScan", bad);
    EXPECT_EQ(store.ReadInt("ReScan", 300), 300) << bad;
  }
  store.WriteText("PostExecution", "run %1 \"%2\"");
  EXPECT_EQ(store.ReadText("PostExecution", ""), "run %1 \"%2\"");
}

TEST(MemorySettingsStore, ReaderSeesOnlyWholeValuesWhileAWriterWrites) {
  MemorySettingsStore store;
  const std::string first(300, 'a');
  const std::string second(300, 'b');
  store.WriteText("PostExecution", first);
  std::atomic<bool> done{false};
  int torn = 0;
  std::thread reader([&] {
    while (!done.load()) {
      const std::string value = store.ReadText("PostExecution", "");
      const std::int32_t number = store.ReadInt("ReScan", 0);
      if ((value != first && value != second) || (number != 0 && number != -1)) {
        ++torn;
      }
    }
  });
  for (int i = 0; i < 20000; ++i) {
    store.WriteText("PostExecution", i % 2 ? first : second);
    store.WriteInt("ReScan", i % 2 ? 0 : -1);
  }
  done = true;
  reader.join();
  EXPECT_EQ(torn, 0);
}

}  // namespace
}  // namespace qs
