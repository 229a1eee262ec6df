#include "app/qt_settings_store.h"

#include <QSettings>
#include <QStringList>
#include <QVariant>

namespace qs {
namespace {

QString GroupKey(std::string_view key) {
  return QStringLiteral("Settings/") +
         QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
}

}  // namespace

QtSettingsStore::QtSettingsStore() = default;

QtSettingsStore::QtSettingsStore(const QString& file_path) : file_path_(file_path) {}

// A fresh QSettings for every call, made and dropped on the calling thread. One long-lived
// object would be shared by the worker and the window's thread, and a write posts an update
// event that flushes the object later on its owner's thread, outside any lock of ours. Objects
// for the same file share Qt's parsed copy, so this costs a lookup and a change check of the
// file, which also lets a read see what another process wrote, as the registry would.
std::unique_ptr<QSettings> QtSettingsStore::Open() const {
  if (file_path_) {
    return std::make_unique<QSettings>(*file_path_, QSettings::IniFormat);
  }
  return std::make_unique<QSettings>(QStringLiteral("Mirrowen"), QStringLiteral("Mirrowen"));
}

std::int32_t QtSettingsStore::ReadInt(std::string_view key, std::int32_t default_value) const {
  std::lock_guard lock(mutex_);
  const QVariant value = Open()->value(GroupKey(key));
  if (!value.isValid()) {
    return default_value;
  }
  bool ok = false;
  const int number = value.toInt(&ok);
  return ok ? number : default_value;
}

std::string QtSettingsStore::ReadText(std::string_view key, std::string_view default_value) const {
  std::lock_guard lock(mutex_);
  const QVariant value = Open()->value(GroupKey(key));
  if (!value.isValid()) {
    return std::string(default_value);
  }
  // An INI value with unquoted commas, as a hand edit leaves it, parses as a list; it is
  // joined back rather than read as empty.
  if (value.typeId() == QMetaType::QStringList) {
    return value.toStringList().join(QStringLiteral(", ")).toStdString();
  }
  return value.toString().toStdString();
}

// Write failures are not reported: no caller could do anything about them.
void QtSettingsStore::WriteInt(std::string_view key, std::int32_t value) {
  std::lock_guard lock(mutex_);
  auto settings = Open();
  settings->setValue(GroupKey(key), static_cast<int>(value));
  settings->sync();
}

void QtSettingsStore::WriteText(std::string_view key, std::string_view value) {
  std::lock_guard lock(mutex_);
  auto settings = Open();
  settings->setValue(GroupKey(key),
                     QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
  settings->sync();
}

}  // namespace qs
