// The program's settings store: QSettings, group "Settings". The default profile is the
// companion's, QSettings("Mirrowen", "Mirrowen"); a profile folder uses an INI file instead.
#pragma once

#include <memory>
#include <mutex>
#include <optional>

#include <QString>

#include "config/settings_store.h"

class QSettings;

namespace qs {

class QtSettingsStore final : public SettingsStore {
 public:
  QtSettingsStore();
  // An INI file at `file_path` (created on the first write).
  explicit QtSettingsStore(const QString& file_path);

  std::int32_t ReadInt(std::string_view key, std::int32_t default_value) const override;
  std::string ReadText(std::string_view key, std::string_view default_value) const override;
  void WriteInt(std::string_view key, std::int32_t value) override;
  void WriteText(std::string_view key, std::string_view value) override;

 private:
  std::unique_ptr<QSettings> Open() const;

  std::optional<QString> file_path_;
  mutable std::mutex mutex_;
};

}  // namespace qs
