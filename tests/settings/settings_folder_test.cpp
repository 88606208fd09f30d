#include "settings/settings_folder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace norvale {
namespace {

// Run by root, /usr/bin can be written: only the marker makes a program folder the settings folder.
TEST(SettingsFolder, ProgramFolderOnlyWhenMarkedPortable) {
  for (bool marked : {true, false}) {
    QTemporaryDir program;
    QTemporaryDir config;
    if (marked) {
      QFile marker(QDir(program.path()).filePath(QLatin1String(kPortableMarker)));
      ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(ChooseSettingsFolder(program.path(), config.path()),
              marked ? QDir(program.path()).absolutePath()
                     : QDir(config.path()).filePath(QStringLiteral("norvale-download")));
  }
}

TEST(SettingsFolder, ConfigFolderCreatedWhenTheProgramFolderCannotBeWritten) {
  QTemporaryDir scratch;
  QFile plain(QDir(scratch.path()).filePath(QStringLiteral("plain")));
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  plain.close();
  const QString config = QDir(scratch.path()).filePath(QStringLiteral("config"));
  // Below a regular file nothing can be written, not even by root.
  QString chosen = ChooseSettingsFolder(plain.fileName() + QStringLiteral("/bin"), config);
  EXPECT_EQ(chosen, QDir(config).filePath(QStringLiteral("norvale-download")));
  EXPECT_TRUE(QFileInfo(chosen).isDir());
}

TEST(OutputFolder, SettingsFolderFromABuildElseDocumentsElseHome) {
  QTemporaryDir program;
  QTemporaryDir documents;
  const QString home = QStringLiteral("/home/someone");
  // Running from its own folder, the settings folder is that folder.
  EXPECT_EQ(ChooseOutputFolder(program.path() + "/", program.path(), documents.path(), home),
            program.path() + "/");
  const QString config = QStringLiteral("/home/someone/.config/norvale-download");
  EXPECT_EQ(ChooseOutputFolder(config, program.path(), documents.path(), home), documents.path());
  EXPECT_EQ(ChooseOutputFolder(config, program.path(), documents.path() + "/missing", home), home);
  EXPECT_EQ(ChooseOutputFolder(config, program.path(), QString(), home), home);
}

}  // namespace
}  // namespace norvale
