// "Use Palm DataBase" in the window, offscreen: the ID list, the separated import into the View
// grid and the CSV file, and the status texts on the way.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/three_state_check_box.h"
#include "support/handheld_database.h"
#include "window_fixture.h"

namespace norvale::testing {
namespace {

using HandheldWindow = WindowTest;

TEST_F(HandheldWindow, IdListThenTheImportOfOneMeterFillTheGridAndTheFile) {
  const QString database = QDir(folder.path()).filePath(QStringLiteral("Backup/DBFLW2.pdb"));
  ASSERT_TRUE(QDir().mkpath(QFileInfo(database).path()));
  std::string error;
  ASSERT_TRUE(GenerateHandheldDatabase(QFile::encodeName(database).toStdString(),
                                       {"--scenario", ToolScenario("demo_handheld.json")}, error))
      << error;
  start();
  window->setSaveFileChooser([&](const SaveFileRequest& request) {
    EXPECT_EQ(request.title, "Palm Database Selection");
    EXPECT_EQ(request.fileName, "DBFLW2.PDB");
    return std::optional<QString>(database);
  });
  c().Command8->click();
  EXPECT_EQ(c().Text6->text(), database);

  c().Check1->setCheckState(Qt::Checked);
  EXPECT_FALSE(c().Command6->isHidden());
  c().Command2->click();  // "Modbus ID of meter" with no ID chosen
  EXPECT_EQ(c().Label4->text(), "Enter ModID");
  EXPECT_EQ(session->records.LastRow, 0);

  c().Command6->click();
  EXPECT_EQ(c().Label4->text(), "Finished Reading");
  ASSERT_EQ(c().SortList->count(), 3);
  EXPECT_EQ(c().SortList->itemText(0), "12");
  EXPECT_EQ(c().SortList->itemText(2), "7");

  c().SortList->setCurrentIndex(2);
  c().Command2->click();
  EXPECT_EQ(c().Label4->text(), "Finished. Data in File");
  EXPECT_TRUE(c().Command2->isEnabled());
  EXPECT_EQ(session->records.LastRow, 1 + 48);
  EXPECT_EQ(session->records.cell(2, 1), "03/05/2021 08:00");
  EXPECT_EQ(c().Text3[1]->text(), "Velocity");
  QFile csv(QDir(folder.path()).filePath(QStringLiteral("Logdata.csv")));
  ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
  EXPECT_EQ(csv.readAll().count('\n'), 1 + 48);

  c().Option4[2]->setChecked(true);
  EXPECT_EQ(c().Label9->text(), "Files not separated");
}

}  // namespace
}  // namespace norvale::testing
