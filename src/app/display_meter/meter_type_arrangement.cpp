#include "app/display_meter/meter_type_arrangement.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <array>

#include "app/window/window_controls.h"

namespace norvale {
namespace {

enum class TimerChange { Keep, Stop, Start };

struct Arrangement {
  bool keypad;  // Frame11
  TimerChange timer1;
  TimerChange timer2;
  TimerChange timer3;
  bool liveExtras;  // alarm box and label, the three unit frames
};

// The keypad meter works with Timer1, the next two with the live values of Timer2 ("Begin"),
// the fourth polls on Timer3 at once.
constexpr std::array<Arrangement, 4> kArrangements = {{
    {true, TimerChange::Keep, TimerChange::Stop, TimerChange::Stop, false},
    {false, TimerChange::Stop, TimerChange::Keep, TimerChange::Stop, true},
    {false, TimerChange::Stop, TimerChange::Keep, TimerChange::Stop, true},
    {false, TimerChange::Stop, TimerChange::Stop, TimerChange::Start, true},
}};

void Apply(QTimer* timer, TimerChange change) {
  if (change == TimerChange::Stop) timer->stop();
  // Enabling a running timer leaves its interval running.
  if (change == TimerChange::Start && !timer->isActive()) timer->start();
}

}  // namespace

void ArrangeMeterType(const WindowControls& c, int option) {
  if (option >= 0 && option < static_cast<int>(kArrangements.size())) {
    const Arrangement& a = kArrangements[option];
    c.Frame11->setVisible(a.keypad);
    Apply(c.Timer1, a.timer1);
    Apply(c.Timer2, a.timer2);
    Apply(c.Timer3, a.timer3);
    for (QWidget* extra : {static_cast<QWidget*>(c.Text4[4]), static_cast<QWidget*>(c.Label10),
                           static_cast<QWidget*>(c.Frame12), static_cast<QWidget*>(c.Frame14),
                           static_cast<QWidget*>(c.Frame15)}) {
      extra->setVisible(a.liveExtras);
    }
  }
  for (int i = 0; i < 4; ++i) c.Text4[i]->clear();
}

}  // namespace norvale
