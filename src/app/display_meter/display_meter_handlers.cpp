#include "app/display_meter/display_meter_handlers.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QTimer>

#include "live/live_cycle.h"
#include "text/byte_text.h"

namespace norvale {
namespace {

enum MeterType { kKx40 = 0, kKx50 = 1, kKx60 = 2, kKx90 = 3 };

}  // namespace

DisplayMeterHandlers::DisplayMeterHandlers(const WindowControls& controls, Session& session,
                                           QObject* parent)
    : QObject(parent), controls_(controls), session_(session) {
  connect(controls_.Command9, &QPushButton::clicked, this, &DisplayMeterHandlers::onCommand9Click);
  for (int i = 0; i < static_cast<int>(controls_.Command1.size()); ++i) {
    connect(controls_.Command1[i], &QPushButton::clicked, this, [this, i] { onCommand1Click(i); });
  }
  connect(controls_.Timer1, &QTimer::timeout, this, &DisplayMeterHandlers::onTimer1Tick);
  connect(controls_.Timer2, &QTimer::timeout, this, &DisplayMeterHandlers::onLiveTick);
  connect(controls_.Timer3, &QTimer::timeout, this, &DisplayMeterHandlers::onLiveTick);
}

bool DisplayMeterHandlers::portFree() const {
  return !cycleRunning_ && !session_.longOperationRunning && !session_.link.busy() &&
         !session_.link.shutDown();
}

// "Begin": the port error may be shown again, the lines start empty, and the selected meter
// type's cycle runs (the fourth type's started when it was chosen).
void DisplayMeterHandlers::onCommand9Click() {
  session_.link.state().CommErrorShown = 0;
  for (int i = 0; i < 4; ++i) controls_.Text4[i]->clear();
  if (controls_.Option5[kKx40]->isChecked()) {
    controls_.Timer1->start();
    controls_.Timer2->stop();
  } else if (controls_.Option5[kKx50]->isChecked() || controls_.Option5[kKx60]->isChecked()) {
    controls_.Timer1->stop();
    controls_.Timer2->start();
  }
}

void DisplayMeterHandlers::onCommand1Click(int index) { keypad_.press(index); }

void DisplayMeterHandlers::onTimer1Tick() {
  if (!portFree()) return;
  QScopedValueRollback running(cycleRunning_, true);
  keypad_.RunTick(session_.link, session_.settings.CommSlaveID, *this);
}

void DisplayMeterHandlers::onLiveTick() {
  if (!portFree()) return;
  QScopedValueRollback running(cycleRunning_, true);
  RunLiveCycle(session_.link, session_.settings.CommSlaveID, liveChoices(), *this);
}

LiveChoices DisplayMeterHandlers::liveChoices() const {
  return {controls_.Combo1->currentIndex(), controls_.Combo3->currentIndex(),
          controls_.Combo4->currentIndex(), controls_.Option5[kKx60]->isChecked()};
}

void DisplayMeterHandlers::setDisplayLine(int index, const std::string& text) {
  if (index >= 0 && index < static_cast<int>(controls_.Text4.size())) {
    controls_.Text4[index]->setText(FromByteText(text));
  }
}

}  // namespace norvale
