#pragma once

#include <string>

#include "dialer/modem_line.h"
#include "link/clock.h"
#include "link/event_pump.h"
#include "link/meter_link.h"

namespace norvale {

// The Dialer tab's status line (Label6), byte text.
class DialerView {
 public:
  virtual ~DialerView() = default;
  virtual void setDialerStatus(const std::string& text) = 0;
  // What the dialer waits for now and how long it will wait ("" when it waits for nothing), so a
  // silent modem does not look like a dialer that hangs.
  virtual void setDialerWait(const std::string& text) { (void)text; }
  // The modem's reply so far, grown by a byte; the status line shows it as it is.
  virtual void setModemReply(const std::string& reply) { setDialerStatus(reply); }
};

enum class DialResult { PortNotOpened, Connected, CouldNotConnect, Aborted };

// Dials a meter through a Hayes modem on the line and leaves the port open for the other
// functions:
//   CR; 1 s; the modem-init text + CR; "OK" (or "Ok", "ok") within 120 s;
//   "ATDT " + number + CR; "CONNECT" (or "Connect") within 180 s, then 3 s more of replies.
// "Dialing " + number shows at once, then everything the modem answers as it arrives, and each
// wait is told to setDialerWait. `abort` (the "Hangup" button pressed meanwhile) and the program
// ending stop the waits.
DialResult DialModem(ModemLine& line, Clock& clock, EventPump& pump, const std::string& initString,
                     const std::string& number, DialerView& view, const bool& abort);
// The same on the link's own port.
DialResult DialModem(MeterLink& link, const std::string& initString, const std::string& number,
                     DialerView& view, const bool& abort);

// Ends the call: "+++", the guard time, "ATH0" + CR, then DTR dropped, raised and dropped again
// with the port closed, opened and closed. With the port closed: a DTR pulse of 2 s on a port
// opened for it, "Com port already closed". A port that cannot be opened shows the link's port
// error and stays closed; false then, and the modem may still hold the line.
bool HangUpModem(ModemLine& line, Clock& clock, EventPump& pump, DialerView& view);
bool HangUpModem(MeterLink& link, DialerView& view);

}  // namespace norvale
