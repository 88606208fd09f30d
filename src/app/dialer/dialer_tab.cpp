#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/controls/control_factory.h"
#include "app/dialer/phone_book_grid.h"
#include "app/window/window_controls.h"
#include "app/window/window_tabs.h"

namespace norvale {

QWidget* BuildDialerTab(WindowControls& c) {
  c.Label7 = MakeLabel(QStringLiteral("Label7"), QStringLiteral("List of Numbers"));
  c.MSHFlexGrid2 = new PhoneBookGrid;
  c.MSHFlexGrid2->setObjectName(QStringLiteral("MSHFlexGrid2"));
  NameByLabel(c.Label7, c.MSHFlexGrid2);

  c.Label5 = MakeLabel(QStringLiteral("Label5"), QStringLiteral("Status"));
  c.Label6 = MakeStatusLabel(QStringLiteral("Label6"), QStringLiteral("Okay"),
                             QStringLiteral("Dialer status"));
  c.DialWait =
      MakeStatusLabel(QStringLiteral("DialWait"), QString(), QStringLiteral("Dialer wait"));
  c.Text5[0] =
      MakeTextBox(ControlName("Text5", 0), QStringLiteral("Phone #"), QStringLiteral("Phone #"));
  c.Text5[1] = MakeTextBox(ControlName("Text5", 1), QStringLiteral("Description"),
                           QStringLiteral("Description"));
  LiftLengthLimit(c.Text5[0]);
  LiftLengthLimit(c.Text5[1]);
  c.Command4 = MakeButton(QStringLiteral("Command4"), QStringLiteral("Dial this Number"));
  c.Command5 = MakeButton(QStringLiteral("Command5"), QStringLiteral("Hangup"));

  auto* status = new QHBoxLayout;
  status->addWidget(c.Label5);
  status->addWidget(c.Label6, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(c.Command4);
  buttons->addWidget(c.Command5);
  auto* right = new QVBoxLayout;
  right->addLayout(status);
  right->addWidget(c.DialWait);
  right->addWidget(c.Text5[0]);
  right->addWidget(c.Text5[1]);
  right->addLayout(buttons);
  right->addStretch(1);

  auto* left = new QVBoxLayout;
  left->addWidget(c.Label7);
  left->addWidget(c.MSHFlexGrid2);
  left->addStretch(1);

  auto* page = new QWidget;
  auto* layout = new QHBoxLayout(page);
  layout->addLayout(left);
  layout->addLayout(right, 1);
  return page;
}

}  // namespace norvale
