#include "config/settings_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "config/memory_settings_store.h"

namespace qs {
namespace {

// Every key of the file, with what a fresh profile reads for it.
TEST(Settings, FreshProfileReadsEachKeysDefault) {
  MemorySettingsStore fresh;
  std::string read;
  for (const SettingSpec& spec : AllSettings()) {
    read += std::string(spec.key) + "=" +
            (spec.type == SettingType::kText ? ReadText(fresh, spec.setting)
                                             : std::to_string(ReadInt(fresh, spec.setting))) +
            " ";
  }
  EXPECT_EQ(read,
            "ReScan=300 PostExecution= HideToTray=0 ConfirmationLevel=1 RenameSFV=0 DeleteSFV=0 "
            "CreateNoCheckFile=1 DeleteQuarrystream=1 AddQuietToMirrowen=1 AutoRunAtStartup=0 "
            "ScanOnChange=1 ");
}

// The same value in HideToTray, ConfirmationLevel and then AutoRunAtStartup: only an exact 1
// switches on, and saving autorun on forces HideToTray (the program starts in the tray); any
// level but 0 asks on quit, only 2 on remove.
TEST(Settings, OnlyExactValuesSwitchOnOrAsk) {
  // value, IsOn, AsksOnQuit, AsksOnRemove
  const std::tuple<std::int32_t, bool, bool, bool> rows[] = {{0, false, false, false},
                                                             {1, true, true, false},
                                                             {2, false, true, true},
                                                             {-1, false, true, false}};
  for (const auto& [value, is_on, asks_on_quit, asks_on_remove] : rows) {
    SCOPED_TRACE(value);
    MemorySettingsStore store;
    WriteInt(store, Setting::HideToTray, value);
    WriteInt(store, Setting::ConfirmationLevel, value);
    EXPECT_EQ(IsOn(store, Setting::HideToTray), is_on);
    EXPECT_EQ(AsksOnQuit(store), asks_on_quit);
    EXPECT_EQ(AsksOnRemove(store), asks_on_remove);
    MemorySettingsStore fresh;
    EXPECT_EQ(SaveAutoRun(fresh, value), is_on);  // true: the autostart entry is to be set
    EXPECT_EQ(ReadInt(fresh, Setting::AutoRunAtStartup), value);
    EXPECT_EQ(fresh.ReadInt("HideToTray", -5), is_on ? 1 : -5);
  }
}

}  // namespace
}  // namespace qs
