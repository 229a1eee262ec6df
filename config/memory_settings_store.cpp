#include "config/memory_settings_store.h"

#include <charconv>

namespace qs {

// A value written as one type and read as the other converts the way the profile file does:
// every value there is text, so an integer reads back as its decimal text, and a text reads as
// an integer only when it is one whole number.
std::int32_t MemorySettingsStore::ReadInt(std::string_view key, std::int32_t default_value) const {
  std::lock_guard lock(mutex_);
  auto it = values_.find(key);
  if (it == values_.end()) {
    return default_value;
  }
  if (const auto* number = std::get_if<std::int32_t>(&it->second)) {
    return *number;
  }
  const std::string& text = std::get<std::string>(it->second);
  std::int32_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) {
    return default_value;
  }
  return value;
}

std::string MemorySettingsStore::ReadText(std::string_view key,
                                          std::string_view default_value) const {
  std::lock_guard lock(mutex_);
  auto it = values_.find(key);
  if (it == values_.end()) {
    return std::string(default_value);
  }
  if (const auto* number = std::get_if<std::int32_t>(&it->second)) {
    return std::to_string(*number);
  }
  return std::get<std::string>(it->second);
}

void MemorySettingsStore::WriteInt(std::string_view key, std::int32_t value) {
  std::lock_guard lock(mutex_);
  values_.insert_or_assign(std::string(key), value);
}

void MemorySettingsStore::WriteText(std::string_view key, std::string_view value) {
  std::lock_guard lock(mutex_);
  values_.insert_or_assign(std::string(key), std::string(value));
}

}  // namespace qs
