// "Use Palm DataBase" in the window, offscreen: the ID list, the separated import into the View
// grid and the CSV file, and the status texts on the way.
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "app/controls/three_state_check_box.h"
#include "app/window_fixture.h"
#include "settings/settings_file.h"
#include "support/handheld_database.h"

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
  window->setSaveFileChooser([&](const SaveFileRequest&) -> std::optional<QString> {
    ADD_FAILURE() << "the database is read, not saved";
    return std::nullopt;
  });
  window->setOpenFileChooser([&](const SaveFileRequest& request) {
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

// Ticking "Use Palm DataBase" shows where the database is and how to choose it; the browse
// button then shows the desktop's dialog for a file to read.
TEST_F(HandheldWindow, DatabaseControlsShowWhileUsePalmDataBaseIsTickedAndBrowseOpensAFile) {
  start();
  window->show();
  const QWidget* palmControls[] = {c().Text6, c().Command8, c().Frame9, c().Option4[0],
                                   c().Option4[2]};
  for (Qt::CheckState state : {Qt::Unchecked, Qt::Checked, Qt::Unchecked, Qt::Checked}) {
    c().Check1->setCheckState(state);
    for (const QWidget* control : palmControls) {
      EXPECT_EQ(control->isVisible(), state == Qt::Checked) << control->objectName().toStdString();
    }
  }

  bool shown = false;
  QFileDialog::AcceptMode mode = QFileDialog::AcceptSave;
  QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
      shown = true;
      mode = dialog->acceptMode();
      fileMode = dialog->fileMode();
      dialog->reject();
    }
  });
  look.start(20);
  c().Command8->click();
  look.stop();
  EXPECT_TRUE(shown);
  EXPECT_EQ(mode, QFileDialog::AcceptOpen) << "a save dialog asks to replace the file";
  EXPECT_EQ(fileMode, QFileDialog::ExistingFile);
  EXPECT_EQ(c().Text6->text(), QString::fromLatin1(kDefaultDatabasePath)) << "cancelled";
}

// "Stop" during an import or an ID scan ends it at its next yield: the old file stays and the
// status line says so. The next import runs to its end.
TEST_F(HandheldWindow, StopEndsAnImportOrAnIdScanAndLeavesTheOldFile) {
  const QString database = folder.filePath(QStringLiteral("big.pdb"));
  std::string error;
  // More records than the ID scan reads between two yields.
  ASSERT_TRUE(GenerateHandheldDatabase(QFile::encodeName(database).toStdString(),
                                       {"--records", "40000"}, error))
      << error;
  QFile csv(folder.filePath(QStringLiteral("Logdata.csv")));
  ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
  csv.write("old\r\n");
  csv.close();
  start();
  settings().DatabasePath = QFile::encodeName(database).toStdString();
  c().Check1->setCheckState(Qt::Checked);
  c().Option4[2]->setChecked(true);

  for (QPushButton* button : {c().Command2, c().Command6}) {
    SCOPED_TRACE(button->text().toStdString());
    bool clicked = false;
    pump.onYield = [&] {
      if (!clicked) {
        clicked = true;
        c().StopDownload->click();
      }
    };
    button->click();
    EXPECT_TRUE(clicked);
    EXPECT_EQ(c().Label4->text(), "Download stopped");
    EXPECT_FALSE(c().StopDownload->isEnabled());
    EXPECT_TRUE(button->isEnabled());
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll(), "old\r\n");
    csv.close();
  }
  pump.onYield = nullptr;
  c().Command2->click();
  EXPECT_EQ(c().Label4->text(), "Finished. Data in File");
}

}  // namespace
}  // namespace norvale::testing
