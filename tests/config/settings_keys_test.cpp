#include "config/settings_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "config/memory_settings_store.h"

namespace qs {
namespace {

TEST(Settings, FreshProfileReadsEachKeysDefault) {
  // -1: a text setting, whose default is empty
  const std::tuple<Setting, const char*, std::int32_t> rows[] = {
      {Setting::ReScan, "ReScan", 300},
      {Setting::PostExecution, "PostExecution", -1},
      {Setting::HideToTray, "HideToTray", 0},
      {Setting::ConfirmationLevel, "ConfirmationLevel", 1},
      {Setting::RenameSFV, "RenameSFV", 0},
      {Setting::DeleteSFV, "DeleteSFV", 0},
      {Setting::CreateNoCheckFile, "CreateNoCheckFile", 1},
      {Setting::DeleteQuarrystream, "DeleteQuarrystream", 1},
      {Setting::AddQuietToMirrowen, "AddQuietToMirrowen", 1},
      {Setting::AutoRunAtStartup, "AutoRunAtStartup", 0},
      {Setting::ScanOnChange, "ScanOnChange", 1}};
  ASSERT_EQ(AllSettings().size(), std::size(rows));
  MemorySettingsStore fresh;
  for (const auto& [setting, key, int_default] : rows) {
    EXPECT_EQ(SpecOf(setting).key, key);
    if (int_default < 0) {
      EXPECT_EQ(ReadText(fresh, setting), "") << key;
    } else {
      EXPECT_EQ(ReadInt(fresh, setting), int_default) << key;
    }
  }
}

TEST(Settings, OnlyExactValuesSwitchOnOrAsk) {
  // value, IsOn, AsksOnQuit and AsksOnRemove when HideToTray and ConfirmationLevel hold it
  const std::tuple<std::int32_t, bool, bool, bool> rows[] = {{0, false, false, false},
                                                             {1, true, true, false},
                                                             {2, false, true, true},
                                                             {3, false, true, false},
                                                             {-1, false, true, false}};
  for (const auto& [value, is_on, asks_on_quit, asks_on_remove] : rows) {
    MemorySettingsStore store;
    WriteInt(store, Setting::HideToTray, value);
    WriteInt(store, Setting::ConfirmationLevel, value);
    EXPECT_EQ(IsOn(store, Setting::HideToTray), is_on) << value;
    EXPECT_EQ(AsksOnQuit(store), asks_on_quit) << value;
    EXPECT_EQ(AsksOnRemove(store), asks_on_remove) << value;
  }
}

TEST(SaveAutoRun, OnlyOneForcesHideToTrayAndAsksForTheEntry) {
  for (std::int32_t value : {1, 0, 2, -1}) {
    MemorySettingsStore store;
    EXPECT_EQ(SaveAutoRun(store, value), value == 1);
    EXPECT_EQ(ReadInt(store, Setting::AutoRunAtStartup), value);
    EXPECT_EQ(store.ReadInt("HideToTray", -5), value == 1 ? 1 : -5) << value;
  }
}

}  // namespace
}  // namespace qs
