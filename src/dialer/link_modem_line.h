#pragma once

#include "dialer/modem_line.h"
#include "link/meter_link.h"

namespace norvale {

// The modem's line on the link's own port: the call stays on the port the meter functions use
// after it, opened with the same settings.
class LinkModemLine : public ModemLine {
 public:
  explicit LinkModemLine(MeterLink& link) : link_(link) {}
  bool open() override { return link_.OpenCommPort(); }
  bool isOpen() const override { return link_.port().portOpen(); }
  void close() override { link_.port().setPortOpen(false); }
  void setDtr(bool raised) override { link_.port().setDtrEnable(raised); }
  void write(const std::string& text) override { link_.port().output(text); }
  std::optional<char> takeByte() override;
  void discardBuffers() override;
  bool shutDown() const override { return link_.shutDown(); }

 private:
  MeterLink& link_;
};

}  // namespace norvale
