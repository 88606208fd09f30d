#pragma once

#include <QObject>
#include <string>

#include "app/window/session.h"
#include "app/window/window_controls.h"
#include "live/keypad_cycle.h"
#include "live/live_display_view.h"
#include "live/live_values.h"

namespace norvale {

// The "Display Meter " page at work: "Begin", the keypad buttons, and the ticks of Timer1 (the
// keypad cycle) and of Timer2 and Timer3 (the live values).
class DisplayMeterHandlers : public QObject, public LiveDisplayView {
  Q_OBJECT

 public:
  DisplayMeterHandlers(const WindowControls& controls, Session& session, QObject* parent = nullptr);

  void onCommand9Click();
  void onCommand1Click(int index);
  void onTimer1Tick();
  void onLiveTick();

  void setDisplayLine(int index, const std::string& text) override;
  const KeypadCycle& keypad() const { return keypad_; }

 private:
  // A tick while the last cycle still waits, or while a download, import or ID scan uses the
  // port, is skipped.
  bool portFree() const;
  LiveChoices liveChoices() const;

  const WindowControls& controls_;
  Session& session_;
  KeypadCycle keypad_;
  bool cycleRunning_ = false;
};

}  // namespace norvale
