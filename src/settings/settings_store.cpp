#include "settings/settings_store.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include "settings/settings_file.h"

namespace norvale {
namespace {

constexpr qint64 kReadPiece = 64 * 1024;

}  // namespace

QString SettingsFilePath(const QString& folder) {
  return QDir(folder).filePath(QString::fromLatin1(kSettingsFileName));
}

bool SettingsFileExists(const QString& folder) { return QFile::exists(SettingsFilePath(folder)); }

std::optional<StoredSettingsLines> ReadSettingsLines(const QString& folder, int count) {
  QFile file(SettingsFilePath(folder));
  if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return std::nullopt;
  SettingsLineSplitter splitter(static_cast<size_t>(count), kMaxSettingsLineLength);
  std::string piece(kReadPiece, '\0');
  while (!splitter.full()) {
    qint64 read = file.read(piece.data(), kReadPiece);
    if (read < 0) return std::nullopt;
    if (read == 0) break;
    splitter.feed(std::string_view(piece.data(), static_cast<size_t>(read)));
  }
  splitter.finish();
  return StoredSettingsLines{splitter.takeLines(), splitter.damaged()};
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

QString SettingsBackupPath(const QString& folder) {
  return SettingsFilePath(folder) + QStringLiteral(".bak");
}

bool BackUpSettingsFile(const QString& folder) {
  // A second name for the file as it is costs no reading, however large a runaway file has
  // grown; the save then puts a new file under the first name. Copied where links cannot be made.
  const QByteArray backup = QFile::encodeName(SettingsBackupPath(folder));
  QFile::remove(SettingsBackupPath(folder));
  if (::link(QFile::encodeName(SettingsFilePath(folder)).constData(), backup.constData()) == 0) {
    return true;
  }
  QFile original(SettingsFilePath(folder));
  if (!original.open(QIODevice::ReadOnly)) return false;
  QSaveFile copy(SettingsBackupPath(folder));
  if (!copy.open(QIODevice::WriteOnly)) return false;
  QByteArray piece;
  while (!(piece = original.read(kReadPiece)).isEmpty()) {
    if (copy.write(piece) != piece.size()) {
      copy.cancelWriting();
      return false;
    }
  }
  if (original.error() != QFileDevice::NoError || !copy.flush()) {
    copy.cancelWriting();
    return false;
  }
  return copy.commit();
}

}  // namespace norvale
