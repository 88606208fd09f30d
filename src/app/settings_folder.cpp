#include "app/settings_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace norvale {

QString ChooseSettingsFolder(const QString& programFolder, const QString& configHome) {
  QFileInfo program(programFolder);
  if (program.isDir() && program.isWritable()) return program.absoluteFilePath();
  QString folder = QDir(configHome).absoluteFilePath(QStringLiteral("norvale-download"));
  QDir().mkpath(folder);
  return folder;
}

QString SettingsFolder() {
  return ChooseSettingsFolder(
      QCoreApplication::applicationDirPath(),
      QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

}  // namespace norvale
