#include <sys/resource.h>
#include <unistd.h>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <csignal>

#include "app/controls/three_state_check_box.h"
#include "app/dialer/phone_book_grid.h"
#include "app/settings/settings_procedures.h"
#include "app/window_fixture.h"

namespace norvale::testing {
namespace {

using SettingsSave = WindowTest;

// Sets every saved control away from its factory value.
void ChangeEverything(const WindowControls& c) {
  c.Option2[5]->setChecked(true);
  c.Option1[1]->setChecked(true);
  c.Option3[0]->setChecked(true);
  c.Text1->setText(QStringLiteral(" 17 "));
  c.Text2->setText(QStringLiteral("site 4.csv"));
  c.Check1->setCheckState(Qt::PartiallyChecked);
  c.Option4[2]->setChecked(true);
  for (int row = 1; row <= 10; ++row) {
    c.MSHFlexGrid2->setCellText(row, 1, QStringLiteral("  item %1").arg(row));
    c.MSHFlexGrid2->setCellText(row, 2,
                                row == 4 ? QString() : QStringLiteral(" 555-01%1").arg(row));
    c.MSHFlexGrid2->setCellText(row, 3, QStringLiteral("d\xe9scription %1 ").arg(row));
  }
  c.Option5[2]->setChecked(true);
  c.Combo1->setCurrentIndex(14);
  c.Combo3->setCurrentIndex(-1);
  c.Combo4->setCurrentIndex(0);
  c.Text7->setText(QStringLiteral("AT&F S0=1"));
}

TEST_F(SettingsSave, SaveThenLoadRestoresEverySettingAndPhoneEntry) {
  start();
  ChangeEverything(c());
  settings().DatabasePath = "e:\\hand\\DB.pdb";
  window->close();
  const std::string saved = settingsBytes();

  stop();
  start();
  EXPECT_TRUE(c().Option2[5]->isChecked());
  EXPECT_EQ(settings().CommPort, 6);
  EXPECT_TRUE(c().Option1[1]->isChecked());
  EXPECT_EQ(settings().CommBaud, "2400");
  EXPECT_TRUE(c().Option3[0]->isChecked());
  EXPECT_EQ(c().Text1->text(), " 17 ");
  EXPECT_EQ(settings().CommSlaveID, 17);
  EXPECT_EQ(settings().LogFilePath, "site 4.csv");
  EXPECT_EQ(settings().DatabasePath, "e:\\hand\\DB.pdb");
  EXPECT_EQ(c().Check1->checkState(), Qt::PartiallyChecked);
  EXPECT_TRUE(c().Option4[2]->isChecked());
  for (int row = 1; row <= 10; ++row) {
    EXPECT_EQ(c().MSHFlexGrid2->cellText(row, 1), QStringLiteral("  item %1").arg(row));
    EXPECT_EQ(c().MSHFlexGrid2->cellText(row, 2),
              row == 4 ? QString() : QStringLiteral(" 555-01%1").arg(row));
    EXPECT_EQ(c().MSHFlexGrid2->cellText(row, 3), QStringLiteral("d\xe9scription %1 ").arg(row));
  }
  EXPECT_TRUE(c().Option5[2]->isChecked());
  EXPECT_EQ(c().Combo1->currentIndex(), 14);
  EXPECT_EQ(c().Combo3->currentIndex(), -1);
  EXPECT_EQ(c().Combo4->currentIndex(), 0);
  EXPECT_EQ(c().Text7->text(), "AT&F S0=1");

  window->close();
  EXPECT_EQ(settingsBytes(), saved);
  EXPECT_NE(saved.find("[ItemDescription]=d\xc3\xa9scription 1 \r\n"), std::string::npos);
  EXPECT_NE(saved.find("[ItemPhone#]=\r\n"), std::string::npos);
}

TEST_F(SettingsSave, FirstSaveReplacesTheFactoryKeysAndKeepsLeadingBlanks) {
  start();
  c().Option5[3]->setChecked(true);  // the fourth meter type is stored as 0
  window->close();
  std::vector<std::string> lines = SplitSettingsLines(settingsBytes());
  ASSERT_EQ(lines.size(), 44u);
  EXPECT_EQ(lines[2], "[CommHandshaking]=Hardware");
  EXPECT_EQ(lines[8], "[Item#]= 1");
  EXPECT_EQ(lines[9], "[ItemPhone#]= ");
  EXPECT_EQ(lines[38], "[MeterType]=0");
  EXPECT_EQ(lines[39], "[FlowUnits]= 1");
  EXPECT_EQ(lines[42], "[TotalizerUnits]= ");
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{kSettingsFileName});
}

TEST_F(SettingsSave, ExitSavesOnceAndTheUnloadStepDoesNotSaveAgain) {
  start();
  int ends = 0;
  window->setProgramEnd([&] { ++ends; });
  c().Option2[3]->setChecked(true);
  c().File_mnu->trigger();
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(SplitSettingsLines(settingsBytes()).at(0), "[Commport]=4");

  QFile::remove(SettingsFilePath(folder.path()));
  window->close();
  EXPECT_FALSE(SettingsFileExists(folder.path()));
}

TEST_F(SettingsSave, ChosenPortComesBackOnTheNextStart) {
  start();
  c().Option2[5]->setChecked(true);
  EXPECT_EQ(settings().CommPort, 6);
  restart();
  EXPECT_TRUE(c().Option2[5]->isChecked());
  EXPECT_EQ(settings().CommPort, 6);
}

TEST_F(SettingsSave, SaveIntoAFolderThatCannotBeWrittenFailsCleanly) {
  start();
  QFile plain(QDir(folder.path()).filePath(QStringLiteral("plain")));
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  plain.close();
  // Even root cannot create a file below a regular file.
  const QString impossible = plain.fileName() + QStringLiteral("/sub");
  Session other(impossible, port, clock, pump);
  EXPECT_FALSE(WriteDefaultSettings(impossible));
  EXPECT_FALSE(SaveSettings(c(), other));
}

TEST_F(SettingsSave, FailedSaveKeepsThePreviousFile) {
  start();
  const std::string before = settingsBytes();
  c().Option2[6]->setChecked(true);

  // A full disk: every file this process writes stops at 100 bytes, root or not.
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit tiny = saved;
  tiny.rlim_cur = 100;
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
  bool ok = SaveSettings(c(), *session);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(ok);
  EXPECT_EQ(settingsBytes(), before);
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{kSettingsFileName});
}

TEST_F(SettingsSave, ReadOnlyFolderKeepsThePreviousFile) {
  if (geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root; see FailedSave";
  start();
  const std::string before = settingsBytes();
  c().Option2[6]->setChecked(true);
  QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner);
  bool ok = SaveSettings(c(), *session);
  QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  EXPECT_FALSE(ok);
  EXPECT_EQ(settingsBytes(), before);
}

}  // namespace
}  // namespace norvale::testing
