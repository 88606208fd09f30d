#pragma once

#include <QObject>
#include <QSerialPort>
#include <functional>
#include <string>

#include "link/serial_port.h"

namespace norvale {

// The serial control on a real device through Qt Serial Port.
class QtSerialPort : public QObject, public SerialPort {
  Q_OBJECT

 public:
  // Maps a port number to the device path to open.
  using DeviceResolver = std::function<std::string(int)>;

  explicit QtSerialPort(DeviceResolver resolver, QObject* parent = nullptr);

  void setCommPort(int number) override;
  std::string deviceFor(int number) override { return resolver_ ? resolver_(number) : ""; }
  PortStatus setSettings(const std::string& settings) override;
  void setInputLen(int count) override;
  void setBinaryInputMode(bool binary) override;
  PortStatus setPortOpen(bool open) override;
  bool portOpen() const override;
  PortStatus setDtrEnable(bool enable) override;
  int inBufferCount() override;
  void discardInBuffer() override;
  void discardOutBuffer() override;
  void discardBothBuffers() override;
  std::string input() override;
  PortStatus output(const std::string& bytes) override;

  // The device path of the last open attempt, for messages.
  const std::string& devicePath() const { return devicePath_; }

 private:
  struct LineSettings {
    qint32 baud = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
  };
  PortStatus applyLineSettings();
  void onError(QSerialPort::SerialPortError error);

  QSerialPort port_;
  DeviceResolver resolver_;
  std::string devicePath_;
  int commPort_ = 1;
  int inputLen_ = 0;
  bool dtr_ = false;
  LineSettings line_;
};

}  // namespace norvale
