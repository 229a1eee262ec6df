// The one table of settings: every key with its type and default. Every reader goes through it,
// so no default is written twice.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "config/settings_store.h"

namespace qs {

enum class Setting {
  ReScan,
  PostExecution,
  HideToTray,
  ConfirmationLevel,
  RenameSFV,
  DeleteSFV,
  CreateNoCheckFile,
  DeleteQuarrystream,
  AddQuietToMirrowen,
  AutoRunAtStartup,
  ScanOnChange,
};

enum class SettingType { kInteger, kText };

struct SettingSpec {
  Setting setting;
  std::string_view key;
  SettingType type;
  std::int32_t int_default;
  std::string_view text_default;
};

std::span<const SettingSpec> AllSettings();
const SettingSpec& SpecOf(Setting setting);

std::int32_t ReadInt(const SettingsStore& store, Setting setting);
std::string ReadText(const SettingsStore& store, Setting setting);
void WriteInt(SettingsStore& store, Setting setting, std::int32_t value);
void WriteText(SettingsStore& store, Setting setting, std::string_view value);

// A switch is on only when its value is exactly 1.
bool IsOn(const SettingsStore& store, Setting setting);

// Quitting asks when ConfirmationLevel, read as unsigned, is at least 1.
bool AsksOnQuit(const SettingsStore& store);
// Removing a directory asks only when ConfirmationLevel is exactly 2.
bool AsksOnRemove(const SettingsStore& store);

// The settings side of saving the autorun switch: writes AutoRunAtStartup and, when it is 1,
// forces HideToTray to 1 (a program started at log-on goes straight to the tray). Call it after
// the other settings are written, so the forced HideToTray is not overwritten by the check box.
// Returns true when the autostart entry must be set, false when it must be removed; the front
// end then acts on the platform's Autostart.
bool SaveAutoRun(SettingsStore& store, std::int32_t value);

}  // namespace qs
