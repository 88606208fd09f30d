#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/controls/control_factory.h"
#include "app/window/window_controls.h"
#include "app/window/window_tabs.h"
#include "settings/settings_file.h"

namespace norvale {
namespace {

QHBoxLayout* LabelledBox(QLabel* label, QLineEdit* box, int boxStretch) {
  NameByLabel(label, box);
  auto* row = new QHBoxLayout;
  row->addWidget(label);
  row->addWidget(box, boxStretch);
  if (boxStretch == 0) row->addStretch(1);
  return row;
}

// "Baud Rate": one option per rate of kBaudRates, the last (38400) chosen.
QGroupBox* BuildBaudFrame(WindowControls& c) {
  c.Frame1 = MakeFrame(QStringLiteral("Frame1"), QStringLiteral("Baud Rate"));
  auto* baud = new QVBoxLayout(c.Frame1);
  for (size_t i = 0; i < kBaudRates.size(); ++i) {
    c.Option1[i] = MakeOption(
        ControlName("Option1", static_cast<int>(i)),
        QString::fromLatin1(kBaudRates[i].data(), static_cast<qsizetype>(kBaudRates[i].size())));
    baud->addWidget(c.Option1[i]);
  }
  c.Option1.back()->setChecked(true);
  baud->addStretch(1);
  return c.Frame1;
}

// "Communication Port": Comm1 to Comm7, and under them the device the chosen one opens.
QGroupBox* BuildPortFrame(WindowControls& c) {
  c.Frame2 = MakeFrame(QStringLiteral("Frame2"), QStringLiteral("Communication Port"));
  auto* port = new QVBoxLayout(c.Frame2);
  for (int i = 0; i < 7; ++i) {
    c.Option2[i] = MakeOption(ControlName("Option2", i), QStringLiteral("Comm%1").arg(i + 1));
    port->addWidget(c.Option2[i]);
  }
  c.Option2[0]->setChecked(true);
  c.PortDevice = MakeStatusLabel(QStringLiteral("PortDevice"), QString(),
                                 QStringLiteral("Device of the port"));
  port->addWidget(c.PortDevice);
  port->addStretch(1);
  return c.Frame2;
}

// "Flow Control": shown, kept in the settings file, but never chosen.
QGroupBox* BuildFlowFrame(WindowControls& c) {
  c.Frame3 = MakeFrame(QStringLiteral("Frame3"), QStringLiteral("Flow Control"));
  auto* flow = new QVBoxLayout(c.Frame3);
  c.Option3[0] = MakeOption(ControlName("Option3", 0), QStringLiteral("None"));
  c.Option3[1] = MakeOption(ControlName("Option3", 1), QStringLiteral("Hardware (Cts/Rts)"));
  c.Option3[1]->setChecked(true);
  flow->addWidget(c.Option3[0]);
  flow->addWidget(c.Option3[1]);
  flow->addStretch(1);
  // Handshaking would change every meter exchange (a line without RTS and CTS wired would stall);
  // the choice stays for the settings file, which has always stored it.
  const QString why = QStringLiteral(
      "The port always runs without flow control, as the meter link always has; this choice is "
      "only kept in the settings file.");
  c.Frame3->setEnabled(false);
  for (QWidget* control : {static_cast<QWidget*>(c.Frame3), static_cast<QWidget*>(c.Option3[0]),
                           static_cast<QWidget*>(c.Option3[1])}) {
    control->setToolTip(why);
    control->setAccessibleDescription(why);
  }
  return c.Frame3;
}

}  // namespace

QWidget* BuildSettingsTab(WindowControls& c) {
  c.Label1 = MakeLabel(QStringLiteral("Label1"), QStringLiteral("Slave ID"));
  c.Text1 = MakeTextBox(QStringLiteral("Text1"), QStringLiteral("001"), {});
  c.Text1->setMaximumWidth(c.Text1->fontMetrics().horizontalAdvance(QStringLiteral("0")) * 12);

  QGroupBox* baud = BuildBaudFrame(c);
  QGroupBox* port = BuildPortFrame(c);
  QGroupBox* flow = BuildFlowFrame(c);

  c.Label11 = MakeLabel(QStringLiteral("Label11"), QStringLiteral("Modem Init String"));
  c.Text7 = MakeTextBox(QStringLiteral("Text7"), QStringLiteral("ATS0=2 &C0"), {});
  LiftLengthLimit(c.Text7);

  auto* frames = new QHBoxLayout;
  frames->addWidget(baud);
  frames->addWidget(port);
  frames->addWidget(flow);

  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(LabelledBox(c.Label1, c.Text1, 0));
  layout->addLayout(frames);
  layout->addLayout(LabelledBox(c.Label11, c.Text7, 1));
  layout->addStretch(1);
  return page;
}

}  // namespace norvale
