#include "config/settings_keys.h"

#include <gtest/gtest.h>

#include <string>

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
  for (const std::int32_t value : {0, 1, 2, -1}) {
    SCOPED_TRACE(value);
    MemorySettingsStore store;
    WriteInt(store, Setting::HideToTray, value);
    WriteInt(store, Setting::ConfirmationLevel, value);
    EXPECT_EQ(IsOn(store, Setting::HideToTray), value == 1);
    EXPECT_EQ(AsksOnQuit(store), value != 0);
    EXPECT_EQ(AsksOnRemove(store), value == 2);
    MemorySettingsStore fresh;
    EXPECT_EQ(SaveAutoRun(fresh, value), value == 1);  // true: the autostart entry is to be set
    EXPECT_EQ(ReadInt(fresh, Setting::AutoRunAtStartup), value);
    EXPECT_EQ(fresh.ReadInt("HideToTray", -5), value == 1 ? 1 : -5);
  }
}

}  // namespace
}  // namespace qs
