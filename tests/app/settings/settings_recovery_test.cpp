#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <fstream>

#include "app/dialer/phone_book_grid.h"
#include "app/settings/settings_procedures.h"
#include "app/window_fixture.h"

namespace norvale::testing {
namespace {

class SettingsRecovery : public WindowTest {
 public:
  QString backup() const { return QDir(folder.path()).filePath(QStringLiteral("KX40dwn.ini.bak")); }
  std::string backupBytes() const {
    QFile file(backup());
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
  }
};

// A user's file: the last phone entry and the last line set away from the factory values.
std::string UserFile() {
  std::string file = DefaultWithLine(38, "[ItemDescription]=pump house");
  return file.replace(file.find("ATE0 S0=2 &C0"), 13, "ATZ");
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

TEST_F(SettingsRecovery, OtherLineEndsAndBlankLinesStillLoadEveryValue) {
  std::string blankLine = UserFile();
  blankLine.insert(blankLine.find("[Item#]= 5"), "\r\n");
  for (const std::string& file :
       {Replaced(UserFile(), "\r\n", "\r"), Replaced(UserFile(), "\r\n", "\r\r\n"), blankLine}) {
    stop();
    writeSettings(file);
    start();
    EXPECT_EQ(c().MSHFlexGrid2->cellText(10, 3), "pump house");
    EXPECT_EQ(c().Combo4->currentText(), "MPS");
    EXPECT_EQ(c().Text7->text(), "ATZ");
    window->close();
    EXPECT_FALSE(QFile::exists(backup()));
  }
}

TEST_F(SettingsRecovery, AFileThatDoesNotReadBackWholeIsKeptBeforeTheSaveReplacesIt) {
  // A line longer than the reader keeps is cut; a byte-order mark is not written back.
  const std::string longLine = "[ItemDescription]=" + std::string(kMaxSettingsLineLength, 'x');
  for (const std::string& file : {DefaultCutAfter(20), DefaultWithLine(39, "[MeterType]=abc"),
                                  DefaultWithLine(10, "555 0100"), DefaultWithLine(11, longLine),
                                  "\xEF\xBB\xBF" + DefaultWithLine(1, "[Commport]=3")}) {
    stop();
    writeSettings(file);
    start();
    if (file.starts_with("\xEF")) {
      EXPECT_TRUE(c().Option2[2]->isChecked());
    }
    window->close();
    EXPECT_EQ(backupBytes(), file);
    EXPECT_EQ(SplitSettingsLines(settingsBytes()).size(), 44u);
  }
  stop();
  QFile::remove(backup());
  QFile::remove(SettingsFilePath(folder.path()));
  start();    // the factory file
  restart();  // the file the save wrote
  window->close();
  EXPECT_FALSE(QFile::exists(backup()));
}

TEST_F(SettingsRecovery, LineBreaksInAValueAreDroppedSoTheFileReadsBackInPlace) {
  start();
  c().MSHFlexGrid2->setCellText(1, 3, QStringLiteral("north\r\nwell\n"));
  c().Text7->setText(QStringLiteral("ATZ"));
  restart();
  EXPECT_EQ(c().MSHFlexGrid2->cellText(1, 3), "northwell");
  EXPECT_EQ(c().Text7->text(), "ATZ");
}

long BytesReadSoFar() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long value = -1;
  while (io >> key >> value && key != "rchar:") {
  }
  return value;
}

TEST_F(SettingsRecovery, AHugeFileIsReadOnlyUpToItsLastUsedLineAndLongLinesAreCut) {
  start();
  std::string file = DefaultWithLine(11, "[ItemDescription]=" + std::string(1 << 20, 'x'));
  file.replace(file.find("ATE0 S0=2 &C0"), 13, "ATZ");
  writeSettings(file + std::string(20 << 20, '\n'));
  const long before = BytesReadSoFar();
  LoadSettings(c(), *session);
  EXPECT_LT(BytesReadSoFar() - before, 2 << 20);
  EXPECT_LT(c().MSHFlexGrid2->cellText(1, 3).size(), 70'000);
  EXPECT_EQ(c().Text7->text(), "ATZ");
}

}  // namespace
}  // namespace norvale::testing
