#pragma once

#include <QProcess>
#include <string>

namespace norvale::testing {

// Debian's ser2net as a serial device server in front of `device` (the simulator's pty), on a
// free port of 127.0.0.1, configured as the README advises. `accepter` is ser2net's accepter
// without its address: "tcp(nodelay)" for raw TCP, "telnet(rfc2217),tcp(nodelay)" for RFC 2217.
// Stopped when destroyed.
class Ser2netProcess {
 public:
  Ser2netProcess(const std::string& device, const std::string& accepter);
  ~Ser2netProcess();
  Ser2netProcess(const Ser2netProcess&) = delete;
  Ser2netProcess& operator=(const Ser2netProcess&) = delete;

  bool started() const { return port_ != 0 && error_.empty(); }
  const std::string& error() const { return error_; }
  int port() const { return port_; }

 private:
  QProcess process_;
  std::string configPath_;
  std::string error_;
  int port_ = 0;
};

}  // namespace norvale::testing
