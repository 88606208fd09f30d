#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <functional>

#include "app/controls/three_state_check_box.h"
#include "app/dialer/phone_book_grid.h"
#include "app/window_fixture.h"

namespace norvale::testing {
namespace {

using SettingsLoad = WindowTest;

const QString kWindowDatabasePath = QStringLiteral("C:\\PALM\\PALMUSR\\BACKUP\\DBFLW2.PDB");

TEST_F(SettingsLoad, FirstStartWritesTheFactoryFileAndLoadsItIntoEveryControl) {
  start();
  EXPECT_EQ(settingsBytes(), DefaultSettingsFile());

  EXPECT_TRUE(c().Option2[0]->isChecked());
  EXPECT_EQ(settings().CommPort, 1);
  EXPECT_TRUE(c().Option1[6]->isChecked());
  EXPECT_EQ(settings().CommBaud, "38400");
  EXPECT_TRUE(c().Option3[1]->isChecked());  // line 3 carries an unknown key
  EXPECT_EQ(c().Text1->text(), "001");
  EXPECT_EQ(settings().CommSlaveID, 1);
  EXPECT_EQ(c().Text2->text(), "Logdata.csv");
  EXPECT_EQ(settings().LogFilePath, "Logdata.csv");
  EXPECT_EQ(settings().DatabasePath, kDefaultDatabasePath);
  EXPECT_EQ(c().Text6->text(), QString::fromLatin1(kDefaultDatabasePath));
  EXPECT_EQ(c().Check1->checkState(), Qt::Unchecked);
  EXPECT_TRUE(c().Label9->isHidden());
  EXPECT_TRUE(c().SortList->isHidden());
  EXPECT_TRUE(c().Option4[0]->isChecked());
  const PhoneBookGrid& phones = *c().MSHFlexGrid2;
  EXPECT_EQ(phones.cellText(0, 1), "Item #");
  EXPECT_EQ(phones.cellText(0, 2), "Phone #");
  EXPECT_EQ(phones.cellText(0, 3), "Description");
  EXPECT_EQ(phones.gridColumnWidth(3), 2800);
  for (int row = 1; row <= 10; ++row) {
    EXPECT_EQ(phones.cellText(row, 1), QStringLiteral(" %1").arg(row));
    EXPECT_EQ(phones.cellText(row, 2), " ");
    EXPECT_EQ(phones.cellText(row, 3), " ");
  }
  EXPECT_EQ(phones.gridRow(), 1);
  EXPECT_EQ(phones.gridColumn(), 2);
  EXPECT_EQ(c().Text5[0]->text(), " ");
  EXPECT_EQ(c().Text5[1]->text(), " ");
  EXPECT_TRUE(c().Option5[0]->isChecked());
  EXPECT_EQ(c().Combo1->currentText(), "GPD");
  EXPECT_EQ(c().Combo3->currentText(), "#.#");
  EXPECT_EQ(c().Combo4->currentText(), "MPS");
  EXPECT_EQ(c().Text7->text(), "ATE0 S0=2 &C0");
  EXPECT_EQ(c().SSTab1->currentIndex(), 0);
}

TEST_F(SettingsLoad, ReadsAndCreatesTheFileInTheSettingsFolderOnly) {
  QTemporaryDir elsewhere;
  QFile stray(QDir(elsewhere.path()).filePath(kSettingsFileName));
  ASSERT_TRUE(stray.open(QIODevice::WriteOnly));
  stray.write(DefaultWithLine(1, "[Commport]=5").c_str());
  stray.close();
  QDir::setCurrent(elsewhere.path());

  start();
  EXPECT_EQ(settingsBytes(), DefaultSettingsFile());
  EXPECT_EQ(settings().CommPort, 1);
  EXPECT_EQ(QDir::currentPath(), QDir(folder.path()).canonicalPath());
}

TEST_F(SettingsLoad, AFileThatCannotBeReadLoadsFactoryValues) {
  QDir(folder.path()).mkdir(kSettingsFileName);  // exists, but no file to read
  start();
  EXPECT_EQ(settings().CommBaud, "38400");
  EXPECT_EQ(settings().CommSlaveID, 1);
  EXPECT_EQ(c().Text7->text(), "ATE0 S0=2 &C0");
}

TEST_F(SettingsLoad, FileCutAfterLineThreeLeavesTheRestAtWindowDefaults) {
  writeSettings(DefaultCutAfter(2) + "[CommHandshaking]=none\r\n");
  start();
  EXPECT_TRUE(c().Option3[0]->isChecked());
  EXPECT_EQ(settings().CommSlaveID, 0);
  EXPECT_EQ(settings().DatabasePath, "");
  EXPECT_EQ(c().Text6->text(), kWindowDatabasePath);
  EXPECT_EQ(c().Text7->text(), "ATS0=2 &C0");
}

TEST_F(SettingsLoad, FileCutAfterLineFiveFallsBackToTheFactoryDatabasePath) {
  writeSettings(DefaultCutAfter(4) + "[DownloadSaveFile]=out.csv\r\n");
  start();
  EXPECT_EQ(settings().LogFilePath, "out.csv");
  EXPECT_EQ(settings().DatabasePath, kDefaultDatabasePath);
  EXPECT_EQ(c().Text6->text(), QString::fromLatin1(kDefaultDatabasePath));
}

TEST_F(SettingsLoad, MeterTypeOfLettersStopsBeforeTheUnitBoxesAndModemString) {
  writeSettings(DefaultWithLine(39, "[MeterType]=abc"));
  start();
  EXPECT_EQ(c().MSHFlexGrid2->cellText(10, 1), " 10");  // read before the failure
  EXPECT_TRUE(c().Option5[0]->isChecked());
  EXPECT_EQ(c().Combo1->currentText(), "CFS");
  EXPECT_EQ(c().Combo1->currentIndex(), -1);
  EXPECT_EQ(c().Combo3->currentText(), "#.##");
  EXPECT_EQ(c().Combo4->currentText(), "FPS");
  EXPECT_EQ(c().Text7->text(), "ATS0=2 &C0");
}

TEST_F(SettingsLoad, ListPositionOutOfRangeStopsTheReading) {
  writeSettings(DefaultWithLine(40, "[FlowUnits]=15"));
  start();
  EXPECT_EQ(c().Combo1->currentIndex(), -1);
  EXPECT_EQ(c().Combo1->currentText(), "CFS");
  EXPECT_EQ(c().Combo3->currentText(), "#.##");
  EXPECT_EQ(c().Text7->text(), "ATS0=2 &C0");
}

TEST_F(SettingsLoad, LineValuesSelectTheirControls) {
  struct Case {
    int line;
    const char* text;
    std::function<void(WindowTest&)> check;
  };
  const Case cases[] = {
      {1, "[Commport]=9",
       [](WindowTest& t) {
         EXPECT_TRUE(t.c().Option2[0]->isChecked());
         EXPECT_EQ(t.settings().CommPort, 1);
       }},
      {1, "[Commport]= 3",
       [](WindowTest& t) {
         EXPECT_TRUE(t.c().Option2[2]->isChecked());
         EXPECT_EQ(t.settings().CommPort, 3);
       }},
      {2, "[CommBaud]=9600.0",
       [](WindowTest& t) {
         EXPECT_TRUE(t.c().Option1[3]->isChecked());
         EXPECT_EQ(t.settings().CommBaud, "9600");
       }},
      {2, "[CommBaud]=9601",
       [](WindowTest& t) {
         EXPECT_TRUE(t.c().Option1[6]->isChecked());
         EXPECT_EQ(t.settings().CommBaud, "38400");
       }},
      {3, "[CommHandshaking]=hardware",
       [](WindowTest& t) { EXPECT_TRUE(t.c().Option3[0]->isChecked()); }},
      {7, "[USEPalmDatabase]=1",
       [](WindowTest& t) {
         EXPECT_EQ(t.c().Check1->checkState(), Qt::Checked);
         EXPECT_FALSE(t.c().SortList->isHidden());
         EXPECT_FALSE(t.c().Label9->isHidden());
       }},
      {7, "[USEPalmDatabase]=2",
       [](WindowTest& t) { EXPECT_EQ(t.c().Check1->checkState(), Qt::PartiallyChecked); }},
      {7, "[USEPalmDatabase]= 1",
       [](WindowTest& t) { EXPECT_EQ(t.c().Check1->checkState(), Qt::Unchecked); }},
      {8, "[PalmFileSep]=2", [](WindowTest& t) { EXPECT_TRUE(t.c().Option4[2]->isChecked()); }},
      {8, "[PalmFileSep]=1", [](WindowTest& t) { EXPECT_TRUE(t.c().Option4[0]->isChecked()); }},
      {39, "[MeterType]= 1", [](WindowTest& t) { EXPECT_TRUE(t.c().Option5[1]->isChecked()); }},
      {39, "[MeterType]=3", [](WindowTest& t) { EXPECT_TRUE(t.c().Option5[0]->isChecked()); }},
      {41, "[FlowFormat]=-1",
       [](WindowTest& t) {
         EXPECT_EQ(t.c().Combo3->currentIndex(), -1);
         EXPECT_EQ(t.c().Text7->text(), "ATE0 S0=2 &C0");
       }},
      {44, "[ModemInitString]=ATS0=2 &C0=x",
       [](WindowTest& t) { EXPECT_EQ(t.c().Text7->text(), "ATS0=2 &C0=x"); }},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.text);
    stop();
    writeSettings(DefaultWithLine(test.line, test.text));
    start();
    test.check(*this);
  }
}

TEST_F(SettingsLoad, PortErrorFlagIsClearedOnlyOnceLineOneIsRead) {
  makeSession();
  session->link.state().CommErrorShown = 1;
  start();
  EXPECT_EQ(session->link.state().CommErrorShown, 0);

  stop();
  writeSettings(DefaultWithLine(1, "[Commport]=99999"));
  makeSession();
  session->link.state().CommErrorShown = 1;
  start();
  EXPECT_EQ(session->link.state().CommErrorShown, 1);
  EXPECT_EQ(settings().CommBaud, "");  // nothing after the failing line
}

TEST_F(SettingsLoad, LinesAfterTheFortyFourthAreNeverRead) {
  writeSettings(DefaultSettingsFile() + "[Commport]=4\r\n");
  start();
  EXPECT_EQ(settings().CommPort, 1);
}

}  // namespace
}  // namespace norvale::testing
