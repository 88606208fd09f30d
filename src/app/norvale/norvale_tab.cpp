#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/controls/control_factory.h"
#include "app/window/window_controls.h"
#include "app/window/window_tabs.h"

namespace norvale {

// Every control starts hidden; the frame and all but Label8 are shown together while "Use Palm
// DataBase" is ticked.
QGroupBox* BuildPalmDatabaseFrame(WindowControls& c) {
  c.PalmDatabase = MakeFrame(QStringLiteral("PalmDatabase"), QStringLiteral("Palm Database"));
  c.Label8 = MakeLabel(QStringLiteral("Label8"),
                       QStringLiteral("Select the DBFLW2.PDB which is stored in Palm UserName "
                                      "backup directory after downloading from meter and "
                                      "performing a Hotsync."));
  c.Label8->setWordWrap(true);
  // Its text is the browse button's and the path box's tooltip; the label itself stays hidden,
  // so that the frame fits under the rest of the Download tab.
  c.Text6 =
      MakeTextBox(QStringLiteral("Text6"), QStringLiteral("C:\\PALM\\PALMUSR\\BACKUP\\DBFLW2.PDB"),
                  QStringLiteral("Palm database file"));
  // Typing does not change the file that is read; only the browse button does.
  c.Text6->setReadOnly(true);
  c.Command8 = MakeButton(QStringLiteral("Command8"), QStringLiteral("Browse for Palm Database"));
  c.Command8->setToolTip(c.Label8->text());
  c.Text6->setToolTip(c.Label8->text());
  c.Frame9 =
      MakeFrame(QStringLiteral("Frame9"),
                QStringLiteral("Separate the different Download Files in Palm Database by....."));
  c.Option4[2] = MakeOption(ControlName("Option4", 2), QStringLiteral("Dont Separate"));
  c.Option4[0] = MakeOption(ControlName("Option4", 0), QStringLiteral("Modbus ID of meter"));
  c.Option4[0]->setChecked(true);
  auto* options = new QHBoxLayout(c.Frame9);
  options->addWidget(c.Option4[2]);
  options->addWidget(c.Option4[0]);
  options->addStretch(1);

  auto* grid = new QGridLayout(c.PalmDatabase);
  grid->addWidget(c.Label8, 0, 0, 1, 2);
  grid->addWidget(c.Text6, 1, 0);
  grid->addWidget(c.Command8, 1, 1);
  grid->addWidget(c.Frame9, 2, 0, 1, 2);
  for (QWidget* control : {static_cast<QWidget*>(c.PalmDatabase), static_cast<QWidget*>(c.Label8),
                           static_cast<QWidget*>(c.Text6), static_cast<QWidget*>(c.Command8),
                           static_cast<QWidget*>(c.Frame9)}) {
    control->hide();
  }
  return c.PalmDatabase;
}

// Its controls live in the Download tab's "Palm Database" frame.
QWidget* BuildNorvaleTab(WindowControls&) {
  auto* page = new QWidget;
  QLabel* note = MakeLabel(QStringLiteral("NorvaleNote"),
                           QStringLiteral("The Palm database is chosen on the Download tab while "
                                          "\"Use Palm DataBase\" is ticked."));
  note->setWordWrap(true);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(note);
  layout->addStretch(1);
  return page;
}

}  // namespace norvale
