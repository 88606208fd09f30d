#include <QLineEdit>
#include <QPushButton>

#include "app/dialer/phone_book_grid.h"
#include "app/window_fixture.h"
#include "output/csv_writer.h"

namespace norvale::testing {
namespace {

using SettingsText = WindowTest;

std::string FileName(const QString& path) { return QFile::encodeName(path).toStdString(); }

// Names a user can type or pick in any script, under a folder whose name no 8-bit code page holds.
TEST_F(SettingsText, FileNamesInAnyScriptAreWrittenToAndComeBackAfterARestart) {
  const QString dir = QDir(folder.path()).filePath(QStringLiteral("caf\u00e9 \u6d4b\u91cf"));
  ASSERT_TRUE(QDir().mkpath(dir));
  const QString typed = dir + QStringLiteral("/d\u00e9bit.csv");
  const QString chosen = dir + QStringLiteral("/\u6d4b\u91cf.csv");
  const QString database = dir + QStringLiteral("/\u0416.pdb");
  RecordTable table;
  table.setCell(1, 1, "Date / Time");
  table.LastRow = 1;
  std::string failure;
  start();

  c().Text2->setText(typed);
  EXPECT_EQ(settings().LogFilePath, FileName(typed));
  EXPECT_TRUE(WriteLogFile(table, settings().LogFilePath, failure)) << failure;
  EXPECT_TRUE(QFile::exists(typed));

  window->setSaveFileChooser([&](const SaveFileRequest&) { return std::optional(chosen); });
  c().Command3->click();
  EXPECT_EQ(c().Text2->text(), QStringLiteral("\u6d4b\u91cf.csv"));
  EXPECT_EQ(settings().LogFilePath, FileName(chosen));
  EXPECT_TRUE(WriteLogFile(table, settings().LogFilePath, failure)) << failure;
  EXPECT_TRUE(QFile::exists(chosen));

  c().Text2->setText(typed);
  settings().DatabasePath = FileName(database);
  c().MSHFlexGrid2->setCellText(1, 3, QStringLiteral("\u6d4b\u91cf M\u00fcller"));
  restart();
  EXPECT_EQ(c().Text2->text(), typed);
  EXPECT_EQ(settings().LogFilePath, FileName(typed));
  EXPECT_EQ(c().Text6->text(), database);
  EXPECT_EQ(settings().DatabasePath, FileName(database));
  EXPECT_EQ(c().MSHFlexGrid2->cellText(1, 3), QStringLiteral("\u6d4b\u91cf M\u00fcller"));
}

TEST_F(SettingsText, LatinOneFileOfAnOlderInstallationLoadsItsEightBitText) {
  std::string file = DefaultWithLine(11, "[ItemDescription]=M\xfcller");
  file.replace(file.find("Logdata"), 7, "d\xe9j\xe0");
  writeSettings(file);
  start();
  EXPECT_EQ(c().MSHFlexGrid2->cellText(1, 3), QStringLiteral("M\u00fcller"));
  EXPECT_EQ(c().Text2->text(), QStringLiteral("d\u00e9j\u00e0.csv"));
  EXPECT_EQ(settings().LogFilePath, "d\xc3\xa9j\xc3\xa0.csv");
}

}  // namespace
}  // namespace norvale::testing
