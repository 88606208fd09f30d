#include "settings/settings_store.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <string_view>

#include "output/file_replace.h"
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
  return ReplaceFile(QFile::encodeName(SettingsFilePath(folder)).toStdString(), bytes).error == 0;
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
  const FileReplacement copy = ReplaceFile(backup.toStdString(), [&original](int fd) {
    QByteArray piece;
    while (!(piece = original.read(kReadPiece)).isEmpty()) {
      const std::string_view bytes(piece.constData(), static_cast<size_t>(piece.size()));
      if (int error = WriteAll(fd, bytes)) return error;
    }
    return original.error() == QFileDevice::NoError ? 0 : EIO;
  });
  return copy.error == 0;
}

}  // namespace norvale
