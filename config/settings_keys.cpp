#include "config/settings_keys.h"

#include <array>
#include <cstddef>

namespace qs {
namespace {

// Ordered as the Setting enumerators, so a setting is its own index.
constexpr std::array<SettingSpec, 11> kSettings = {{
    {Setting::ReScan, "ReScan", SettingType::kInteger, 300, {}},
    {Setting::PostExecution, "PostExecution", SettingType::kText, 0, ""},
    {Setting::HideToTray, "HideToTray", SettingType::kInteger, 0, {}},
    {Setting::ConfirmationLevel, "ConfirmationLevel", SettingType::kInteger, 1, {}},
    {Setting::RenameSFV, "RenameSFV", SettingType::kInteger, 0, {}},
    {Setting::DeleteSFV, "DeleteSFV", SettingType::kInteger, 0, {}},
    {Setting::CreateNoCheckFile, "CreateNoCheckFile", SettingType::kInteger, 1, {}},
    {Setting::DeleteQuarrystream, "DeleteQuarrystream", SettingType::kInteger, 1, {}},
    {Setting::AddQuietToMirrowen, "AddQuietToMirrowen", SettingType::kInteger, 1, {}},
    {Setting::AutoRunAtStartup, "AutoRunAtStartup", SettingType::kInteger, 0, {}},
    // Change notifications start a pass seconds after files arrive; the countdown stays.
    {Setting::ScanOnChange, "ScanOnChange", SettingType::kInteger, 1, {}},
}};

constexpr bool TableFollowsEnum() {
  for (std::size_t i = 0; i < kSettings.size(); ++i) {
    if (static_cast<std::size_t>(kSettings[i].setting) != i) {
      return false;
    }
  }
  return true;
}
static_assert(TableFollowsEnum(), "kSettings must list the settings in enum order");

}  // namespace

std::span<const SettingSpec> AllSettings() {
  return kSettings;
}

const SettingSpec& SpecOf(Setting setting) {
  return kSettings[static_cast<std::size_t>(setting)];
}

std::int32_t ReadInt(const SettingsStore& store, Setting setting) {
  const SettingSpec& spec = SpecOf(setting);
  return store.ReadInt(spec.key, spec.int_default);
}

std::string ReadText(const SettingsStore& store, Setting setting) {
  const SettingSpec& spec = SpecOf(setting);
  return store.ReadText(spec.key, spec.text_default);
}

void WriteInt(SettingsStore& store, Setting setting, std::int32_t value) {
  store.WriteInt(SpecOf(setting).key, value);
}

void WriteText(SettingsStore& store, Setting setting, std::string_view value) {
  store.WriteText(SpecOf(setting).key, value);
}

bool IsOn(const SettingsStore& store, Setting setting) {
  return ReadInt(store, setting) == 1;
}

bool AsksOnQuit(const SettingsStore& store) {
  return static_cast<std::uint32_t>(ReadInt(store, Setting::ConfirmationLevel)) >= 1;
}

bool AsksOnRemove(const SettingsStore& store) {
  return ReadInt(store, Setting::ConfirmationLevel) == 2;
}

bool SaveAutoRun(SettingsStore& store, std::int32_t value) {
  WriteInt(store, Setting::AutoRunAtStartup, value);
  if (value != 1) {
    return false;
  }
  WriteInt(store, Setting::HideToTray, 1);
  return true;
}

}  // namespace qs
