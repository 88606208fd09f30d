#pragma once

#include <string>

namespace norvale {

// What the OS said when a port operation failed, for the user to act on.
struct PortStatus {
  bool ok = true;
  std::string reason;

  static PortStatus Ok() { return {}; }
  static PortStatus Failed(std::string why) { return {false, std::move(why)}; }
};

// The operations of the serial communications control, and nothing more. Byte texts hold one
// char per byte. Production uses Qt Serial Port; tests use an in-memory fake.
class SerialPort {
 public:
  virtual ~SerialPort() = default;

  virtual void setCommPort(int number) = 0;
  // The device that port number `number` opens at this moment (a "comN" link may have been
  // pointed elsewhere meanwhile); empty for ports that have no such name.
  virtual std::string deviceFor(int /*number*/) { return {}; }
  // Line settings as "<baud>,N,8,1"; refused when the text is not acceptable.
  virtual PortStatus setSettings(const std::string& settings) = 0;
  // How many bytes one input() takes; 0 means all that are waiting.
  virtual void setInputLen(int count) = 0;
  // Binary input is the only mode this program uses; kept for parity with the control.
  virtual void setBinaryInputMode(bool binary) = 0;
  virtual PortStatus setPortOpen(bool open) = 0;
  virtual bool portOpen() const = 0;
  virtual PortStatus setDtrEnable(bool enable) = 0;
  virtual int inBufferCount() = 0;
  virtual void discardInBuffer() = 0;
  virtual void discardOutBuffer() = 0;
  // Both of the above; a real port does it in one call.
  virtual void discardBothBuffers() {
    discardInBuffer();
    discardOutBuffer();
  }
  virtual std::string input() = 0;
  virtual PortStatus output(const std::string& bytes) = 0;
};

}  // namespace norvale
