// The per-user settings section "Settings", read at the moment of use and never cached.
//
// Thread contract: the worker thread reads while the window's thread may write; every read and
// every write is one whole value, so a reader sees the old or the new value, never a torn one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qs {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual std::int32_t ReadInt(std::string_view key, std::int32_t default_value) const = 0;
  virtual std::string ReadText(std::string_view key, std::string_view default_value) const = 0;
  virtual void WriteInt(std::string_view key, std::int32_t value) = 0;
  virtual void WriteText(std::string_view key, std::string_view value) = 0;
};

}  // namespace qs
