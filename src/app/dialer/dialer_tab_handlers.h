#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "app/window/session.h"
#include "app/window/window_controls.h"
#include "dialer/modem_dialer.h"

namespace norvale {

// The "Dialer" tab at work: the phone list and its two boxes, which write straight into the
// current entry, "Dial this Number" and "Hangup". While a dial or hang-up runs, the other actions
// that use the port are disabled; "Hangup" pressed during a dial stops it and then hangs up.
// A click while a meter exchange still waits says "Port busy". The hang-up works on the port the
// call was dialed on, as it was then, even when another port has been chosen since: the modem
// on that one holds the line.
class DialerTabHandlers : public QObject, public DialerView {
  Q_OBJECT

 public:
  DialerTabHandlers(const WindowControls& controls, Session& session, QObject* parent = nullptr);

  void onGridSelectionChange();
  void onText5Change(int index, const QString& text);
  void onCommand4Click();
  void onCommand5Click();

  void setDialerStatus(const std::string& text) override;
  void setDialerWait(const std::string& text) override;

 private:
  struct CallPort {
    int16_t number;
    std::string baud;
  };
  bool portBusy();
  void hangUp();
  void restoreChosenPort();

  const WindowControls& controls_;
  Session& session_;
  bool followingSelection_ = false;  // the boxes and the grid move each other
  bool dialing_ = false;
  bool abortDial_ = false;
  bool hangUpAfterDial_ = false;
  std::optional<CallPort> call_;  // until it is hung up
};

}  // namespace norvale
