#include "link/qt_serial_port.h"

#include <unistd.h>

#include <QStringList>
#include <algorithm>
#include <optional>

namespace norvale {
namespace {

std::optional<QSerialPort::Parity> parityOf(const QString& text) {
  QString t = text.trimmed().toUpper();
  if (t == "N") return QSerialPort::NoParity;
  if (t == "E") return QSerialPort::EvenParity;
  if (t == "O") return QSerialPort::OddParity;
  if (t == "M") return QSerialPort::MarkParity;
  if (t == "S") return QSerialPort::SpaceParity;
  return std::nullopt;
}

std::optional<QSerialPort::StopBits> stopBitsOf(const QString& text) {
  QString t = text.trimmed();
  if (t == "1") return QSerialPort::OneStop;
  if (t == "1.5") return QSerialPort::OneAndHalfStop;
  if (t == "2") return QSerialPort::TwoStop;
  return std::nullopt;
}

}  // namespace

QtSerialPort::QtSerialPort(DeviceResolver resolver, QObject* parent)
    : QObject(parent), resolver_(std::move(resolver)) {
  connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
}

void QtSerialPort::onError(QSerialPort::SerialPortError error) {
  // When the far end vanishes the read error repeats without end: close on the first one, so
  // the next exchange reopens the port.
  if ((error == QSerialPort::ReadError || error == QSerialPort::ResourceError) && port_.isOpen()) {
    port_.close();
  }
}

void QtSerialPort::setCommPort(int number) { commPort_ = number; }

PortStatus QtSerialPort::setSettings(const std::string& settings) {
  QStringList parts = QString::fromStdString(settings).split(',');
  if (parts.size() != 4) return PortStatus::Failed("Invalid line settings \"" + settings + "\"");
  bool ok = false;
  qint32 baud = parts[0].trimmed().toInt(&ok);
  int dataBits = parts[2].trimmed().toInt();
  auto parity = parityOf(parts[1]);
  auto stopBits = stopBitsOf(parts[3]);
  if (!ok || baud <= 0 || !parity || !stopBits || dataBits < 5 || dataBits > 8) {
    return PortStatus::Failed("Invalid line settings \"" + settings + "\"");
  }
  line_ = {baud, *parity, static_cast<QSerialPort::DataBits>(dataBits), *stopBits};
  return port_.isOpen() ? applyLineSettings() : PortStatus::Ok();
}

PortStatus QtSerialPort::applyLineSettings() {
  if (!port_.setBaudRate(line_.baud) || !port_.setDataBits(line_.dataBits) ||
      !port_.setParity(line_.parity) || !port_.setStopBits(line_.stopBits) ||
      !port_.setFlowControl(QSerialPort::NoFlowControl)) {
    return PortStatus::Failed(devicePath_ + ": " + port_.errorString().toStdString());
  }
  return PortStatus::Ok();
}

void QtSerialPort::setInputLen(int count) { inputLen_ = std::max(0, count); }

void QtSerialPort::setBinaryInputMode(bool) {}

PortStatus QtSerialPort::setPortOpen(bool open) {
  if (!open) {
    if (port_.isOpen()) port_.close();
    return PortStatus::Ok();
  }
  if (port_.isOpen()) return PortStatus::Ok();
  devicePath_ = resolver_ ? resolver_(commPort_) : std::string();
  port_.setPortName(QString::fromStdString(devicePath_));
  if (!port_.open(QIODevice::ReadWrite)) {
    std::string reason = devicePath_ + ": " + port_.errorString().toStdString();
    if (port_.error() == QSerialPort::PermissionError) {
      reason += " (add the user to the \"dialout\" group and log in again)";
    }
    port_.clearError();
    return PortStatus::Failed(reason);
  }
  if (PortStatus s = applyLineSettings(); !s.ok) {
    port_.close();
    return s;
  }
  return PortStatus::Ok();
}

bool QtSerialPort::portOpen() const { return port_.isOpen(); }

PortStatus QtSerialPort::setDtrEnable(bool enable) {
  dtr_ = enable;
  if (!port_.isOpen()) return PortStatus::Ok();
  if (!port_.setDataTerminalReady(enable)) {
    // A pseudo-terminal has no DTR line; that is not a reason to refuse the port.
    if (port_.error() == QSerialPort::UnsupportedOperationError) {
      port_.clearError();
      return PortStatus::Ok();
    }
    return PortStatus::Failed(devicePath_ + ": " + port_.errorString().toStdString());
  }
  return PortStatus::Ok();
}

int QtSerialPort::inBufferCount() {
  return port_.isOpen() ? static_cast<int>(port_.bytesAvailable()) : 0;
}

void QtSerialPort::discardInBuffer() {
  if (port_.isOpen()) port_.clear(QSerialPort::Input);
}

void QtSerialPort::discardOutBuffer() {
  if (port_.isOpen()) port_.clear(QSerialPort::Output);
}

void QtSerialPort::discardBothBuffers() {
  if (port_.isOpen()) port_.clear(QSerialPort::AllDirections);
}

std::string QtSerialPort::input() {
  if (!port_.isOpen()) return {};
  qint64 available = port_.bytesAvailable();
  qint64 take = inputLen_ == 0 ? available : std::min<qint64>(inputLen_, available);
  QByteArray bytes = port_.read(take);
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

PortStatus QtSerialPort::output(const std::string& bytes) {
  if (!port_.isOpen()) return PortStatus::Failed("port not open");
  // Straight to the driver when nothing is queued: Qt's own path arms a write notifier and wakes
  // the event loop twice for every request. What the driver does not take goes Qt's way.
  size_t written = 0;
  if (port_.bytesToWrite() == 0) {
    const ssize_t n = ::write(port_.handle(), bytes.data(), bytes.size());
    if (n > 0) written = static_cast<size_t>(n);
    if (written == bytes.size()) return PortStatus::Ok();
  }
  if (port_.write(bytes.data() + written, static_cast<qint64>(bytes.size() - written)) < 0) {
    return PortStatus::Failed(devicePath_ + ": " + port_.errorString().toStdString());
  }
  port_.flush();  // hand the bytes to the driver now, not at the next event-loop turn
  return PortStatus::Ok();
}

}  // namespace norvale
