#pragma once

#include <QTcpSocket>
#include <functional>
#include <optional>
#include <string>

#include "link/device_address.h"
#include "link/event_pump.h"
#include "link/rfc2217_client.h"
#include "link/serial_port.h"

namespace norvale {

// A meter behind a serial device server: the port's bytes over a TCP connection, as they are
// (tcp://) or through telnet's COM-PORT option (rfc2217://), which also carries the line
// settings and DTR to the server's port.
class NetworkSerialPort : public QObject, public SerialPort {
  Q_OBJECT

 public:
  // Maps a port number to the address to connect to.
  using AddressResolver = std::function<std::string(int)>;
  static constexpr int kConnectMilliseconds = 5000;

  // The pump serves the waits for the connection, which end early when the work is stopped.
  NetworkSerialPort(AddressResolver resolver, EventPump& pump, QObject* parent = nullptr);
  ~NetworkSerialPort() override;

  void setCommPort(int number) override { commPort_ = number; }
  std::string deviceFor(int number) override { return resolver_ ? resolver_(number) : ""; }
  PortStatus setSettings(const std::string& settings) override;
  void setInputLen(int count) override;
  void setBinaryInputMode(bool) override {}
  PortStatus setPortOpen(bool open) override;
  bool portOpen() const override;
  PortStatus setDtrEnable(bool enable) override;
  int inBufferCount() override;
  void discardInBuffer() override;
  void discardOutBuffer() override;
  void discardBothBuffers() override;
  std::string input() override;
  PortStatus output(const std::string& bytes) override;

 private:
  PortStatus connectTo(const DeviceAddress& address);
  PortStatus awaitComPortAnswer();
  // Waits in the event loop until `done` holds, `awaited` is overdue or the work is stopped;
  // the reason it gave up, or nothing.
  std::optional<std::string> waitUntil(const std::function<bool()>& done,
                                       const std::string& awaited);
  void pull();
  void sendTelnetOutbox();
  void close();
  PortStatus failed(const std::string& why);

  QTcpSocket socket_;
  EventPump& pump_;
  AddressResolver resolver_;
  std::string address_;
  std::optional<Rfc2217Client> telnet_;  // only on rfc2217:// connections
  std::string received_;                 // data taken off the socket, telnet removed
  int commPort_ = 1;
  int inputLen_ = 0;
  uint32_t baud_ = 9600;
  bool dtr_ = false;
};

}  // namespace norvale
