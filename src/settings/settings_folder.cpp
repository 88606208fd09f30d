#include "settings/settings_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace norvale {

QString ChooseSettingsFolder(const QString& programFolder, const QString& configHome) {
  QFileInfo program(programFolder);
  // Writable alone is not enough: run by root, /usr/bin is writable too.
  const bool portable =
      QFileInfo(QDir(programFolder).filePath(QLatin1String(kPortableMarker))).isFile();
  if (portable && program.isDir() && program.isWritable()) return program.absoluteFilePath();
  QString folder = QDir(configHome).absoluteFilePath(QStringLiteral("norvale-download"));
  QDir().mkpath(folder);
  return folder;
}

QString SettingsFolder() {
  return ChooseSettingsFolder(
      QCoreApplication::applicationDirPath(),
      QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

QString ChooseOutputFolder(const QString& settingsFolder, const QString& programFolder,
                           const QString& documents, const QString& home) {
  auto same = [](const QString& a, const QString& b) {
    return QDir::cleanPath(QFileInfo(a).absoluteFilePath()) ==
           QDir::cleanPath(QFileInfo(b).absoluteFilePath());
  };
  if (same(settingsFolder, programFolder)) {
    return settingsFolder;
  }
  if (!documents.isEmpty() && QFileInfo(documents).isDir()) return documents;
  return home;
}

QString OutputFolder(const QString& settingsFolder) {
  return ChooseOutputFolder(settingsFolder, QCoreApplication::applicationDirPath(),
                            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
                            QDir::homePath());
}

}  // namespace norvale
