#pragma once

#include <optional>
#include <string>

namespace norvale {

// The serial line to a Hayes modem, as the dialer uses it: text out, bytes in one at a time,
// DTR, and the port opened with the chosen settings or closed. Texts hold one char per byte.
class ModemLine {
 public:
  virtual ~ModemLine() = default;
  // Opens the chosen port unless it is open; false, the port error shown, when it cannot be.
  virtual bool open() = 0;
  virtual bool isOpen() const = 0;
  virtual void close() = 0;
  virtual void setDtr(bool raised) = 0;
  virtual void write(const std::string& text) = 0;
  // The oldest byte that has arrived; nothing when none has. Never waits.
  virtual std::optional<char> takeByte() = 0;
  // Drops what has arrived and what has not gone out yet.
  virtual void discardBuffers() = 0;
  // The program is ending: every wait stops.
  virtual bool shutDown() const = 0;
};

}  // namespace norvale
