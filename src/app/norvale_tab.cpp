#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/control_factory.h"
#include "app/window_controls.h"
#include "app/window_tabs.h"

namespace norvale {

// Every control on this tab starts hidden.
QWidget* BuildNorvaleTab(WindowControls& c) {
  c.Label8 = MakeLabel(QStringLiteral("Label8"),
                       QStringLiteral("Select the DBFLW2.PDB which is stored in Palm UserName "
                                      "backup directory after downloading from meter and "
                                      "performing a Hotsync."));
  c.Label8->setWordWrap(true);
  c.Text6 =
      MakeTextBox(QStringLiteral("Text6"), QStringLiteral("C:\\PALM\\PALMUSR\\BACKUP\\DBFLW2.PDB"),
                  QStringLiteral("Palm database file"));
  c.Command8 = MakeButton(QStringLiteral("Command8"), QStringLiteral("Browse for Palm Database"));
  c.Frame9 =
      MakeFrame(QStringLiteral("Frame9"),
                QStringLiteral("Separate the different Download Files in Palm Database by....."));
  c.Option4[2] = MakeOption(ControlName("Option4", 2), QStringLiteral("Dont Separate"));
  c.Option4[0] = MakeOption(ControlName("Option4", 0), QStringLiteral("Modbus ID of meter"));
  c.Option4[0]->setChecked(true);
  auto* options = new QVBoxLayout(c.Frame9);
  options->addWidget(c.Option4[2]);
  options->addWidget(c.Option4[0]);

  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  for (QWidget* control : {static_cast<QWidget*>(c.Label8), static_cast<QWidget*>(c.Text6),
                           static_cast<QWidget*>(c.Command8), static_cast<QWidget*>(c.Frame9)}) {
    layout->addWidget(control);
    control->hide();
  }
  layout->addStretch(1);
  return page;
}

}  // namespace norvale
