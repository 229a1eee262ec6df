// A settings store held in memory, for tests and for runs without a profile.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <variant>

#include "config/settings_store.h"

namespace qs {

class MemorySettingsStore final : public SettingsStore {
 public:
  std::int32_t ReadInt(std::string_view key, std::int32_t default_value) const override;
  std::string ReadText(std::string_view key, std::string_view default_value) const override;
  void WriteInt(std::string_view key, std::int32_t value) override;
  void WriteText(std::string_view key, std::string_view value) override;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::variant<std::int32_t, std::string>, std::less<>> values_;
};

}  // namespace qs
