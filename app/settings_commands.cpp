#include "app/settings_commands.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

#include "config/settings_keys.h"
#include "platform/autostart.h"

namespace qs {

namespace {

constexpr std::int32_t kMinDelay = 5;
constexpr std::int32_t kMaxDelay = 1500;

struct Assignment {
  const SettingSpec* spec = nullptr;
  std::string value;        // for the text key
  std::int32_t number = 0;  // for the others
};

bool IsSwitch(Setting setting) {
  return setting != Setting::ReScan && setting != Setting::ConfirmationLevel &&
         SpecOf(setting).type == SettingType::kInteger;
}

std::string AcceptedKeys() {
  std::string keys;
  for (const SettingSpec& spec : AllSettings()) {
    keys += keys.empty() ? "" : ", ";
    keys += spec.key;
  }
  return keys;
}

std::optional<std::int32_t> ParseInt(std::string_view text) {
  std::int32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) {
    return std::nullopt;
  }
  return value;
}

// What a key accepts, as the refusal says it.
std::string AcceptedValues(Setting setting) {
  if (setting == Setting::ReScan) {
    return "a whole number of seconds from 5 to 1500";
  }
  if (setting == Setting::ConfirmationLevel) {
    return "a whole number (0 asks nothing, 2 asks on quit and remove, others on quit only)";
  }
  return "0 or 1";
}

// Fills `out` from "KEY=VALUE", or says on `err` why not.
bool Parse(std::string_view text, Assignment& out, std::FILE* err) {
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) {
    std::fprintf(err, "quarrystream: \"%.*s\" is not KEY=VALUE; the keys are %s\n",
                 static_cast<int>(text.size()), text.data(), AcceptedKeys().c_str());
    return false;
  }
  const std::string_view key = text.substr(0, equals);
  const std::string_view value = text.substr(equals + 1);
  for (const SettingSpec& spec : AllSettings()) {
    if (spec.key == key) {
      out.spec = &spec;
    }
  }
  if (out.spec == nullptr) {
    std::fprintf(err, "quarrystream: there is no setting \"%.*s\"; the keys are %s\n",
                 static_cast<int>(key.size()), key.data(), AcceptedKeys().c_str());
    return false;
  }
  if (out.spec->type == SettingType::kText) {
    out.value = std::string(value);
    return true;
  }
  const std::optional<std::int32_t> number = ParseInt(value);
  const Setting setting = out.spec->setting;
  const bool accepted =
      number && (setting == Setting::ConfirmationLevel ||
                 (setting == Setting::ReScan && *number >= kMinDelay && *number <= kMaxDelay) ||
                 (IsSwitch(setting) && (*number == 0 || *number == 1)));
  if (!accepted) {
    std::fprintf(err, "quarrystream: %.*s cannot be \"%.*s\"; it takes %s\n",
                 static_cast<int>(key.size()), key.data(), static_cast<int>(value.size()),
                 value.data(), AcceptedValues(setting).c_str());
    return false;
  }
  out.number = *number;
  return true;
}

}  // namespace

int PrintSettings(const SettingsStore& store, std::FILE* out) {
  for (const SettingSpec& spec : AllSettings()) {
    bool is_default = false;
    std::string value;
    if (spec.type == SettingType::kText) {
      value = ReadText(store, spec.setting);
      is_default = value == spec.text_default;
    } else {
      const std::int32_t number = ReadInt(store, spec.setting);
      value = std::to_string(number);
      is_default = number == spec.int_default;
    }
    std::fprintf(out, "%.*s=%s%s\n", static_cast<int>(spec.key.size()), spec.key.data(),
                 value.c_str(), is_default ? "  (default)" : "");
  }
  return 0;
}

int SetSettings(SettingsStore& store, const std::vector<std::string>& assignments,
                Autostart& autostart, const std::string& executable_directory, std::FILE* out,
                std::FILE* err) {
  if (assignments.empty()) {
    std::fprintf(err, "quarrystream: --set needs KEY=VALUE; the keys are %s\n",
                 AcceptedKeys().c_str());
    return 2;
  }
  std::vector<Assignment> parsed(assignments.size());
  for (std::size_t i = 0; i < assignments.size(); ++i) {
    if (!Parse(assignments[i], parsed[i], err)) {
      return 2;
    }
  }
  std::optional<std::int32_t> auto_run;
  for (const Assignment& assignment : parsed) {
    const Setting setting = assignment.spec->setting;
    if (setting == Setting::AutoRunAtStartup) {
      auto_run = assignment.number;  // last, so that its forced HideToTray stands
    } else if (assignment.spec->type == SettingType::kText) {
      WriteText(store, setting, assignment.value);
    } else {
      WriteInt(store, setting, assignment.number);
    }
  }
  if (!auto_run) {
    return 0;
  }
  if (SaveAutoRun(store, *auto_run)) {
    autostart.Set(executable_directory);
    std::fprintf(out,
                 "Wrote the autostart entry %s and set HideToTray=1: the window starts in the "
                 "tray at the next desktop login. On a server without a desktop session, run "
                 "`quarrystream --headless` as a user service instead.\n",
                 autostart.EntryPath().c_str());
  } else {
    autostart.Remove();
    std::fprintf(out, "Removed the autostart entry %s.\n", autostart.EntryPath().c_str());
  }
  return 0;
}

}  // namespace qs
