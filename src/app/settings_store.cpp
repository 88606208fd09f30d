#include "app/settings_store.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include "app/settings_file.h"

namespace norvale {

QString SettingsFilePath(const QString& folder) {
  return QDir(folder).filePath(QString::fromLatin1(kSettingsFileName));
}

bool SettingsFileExists(const QString& folder) { return QFile::exists(SettingsFilePath(folder)); }

std::optional<std::string> ReadSettingsFile(const QString& folder) {
  QFile file(SettingsFilePath(folder));
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return std::nullopt;
  return bytes.toStdString();
}

bool ReplaceSettingsFile(const QString& folder, const std::string& bytes) {
  QSaveFile file(SettingsFilePath(folder));
  if (!file.open(QIODevice::WriteOnly)) return false;
  auto size = static_cast<qint64>(bytes.size());
  // commit() alone misses a short write that only shows when the buffer is flushed.
  if (file.write(bytes.data(), size) != size || !file.flush()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

}  // namespace norvale
