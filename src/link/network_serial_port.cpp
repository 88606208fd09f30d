#include "link/network_serial_port.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <algorithm>
#include <charconv>

namespace norvale {
namespace {

// A server that holds back the rest of a reply until the first part is acknowledged (Nagle's
// rule, the default of many device servers) would otherwise wait for our delayed ACK, some 40 ms
// on every block. Linux forgets the choice after a while, so it is made at every read.
void AcknowledgeAtOnce(qintptr descriptor) {
#ifdef TCP_QUICKACK
  const int on = 1;
  ::setsockopt(static_cast<int>(descriptor), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
#else
  (void)descriptor;
#endif
}

}  // namespace

NetworkSerialPort::NetworkSerialPort(AddressResolver resolver, EventPump& pump, QObject* parent)
    : QObject(parent), pump_(pump), resolver_(std::move(resolver)) {
  // A connection that drops is a read error: the port closes, and the next exchange connects
  // again.
  connect(&socket_, &QAbstractSocket::disconnected, this, [this] { close(); });
  connect(&socket_, &QAbstractSocket::errorOccurred, this, [this] {
    if (socket_.state() == QAbstractSocket::ConnectedState) close();
  });
}

// The socket says goodbye as it is destroyed, after the members its handlers use.
NetworkSerialPort::~NetworkSerialPort() { socket_.disconnect(this); }

PortStatus NetworkSerialPort::setSettings(const std::string& settings) {
  // Only the baud rate travels; the server's port always runs 8 data bits, no parity, 1 stop bit.
  uint32_t baud = 0;
  const char* end = settings.data() + settings.size();
  auto [stop, error] = std::from_chars(settings.data(), end, baud);
  if (error != std::errc() || baud == 0 || (stop != end && *stop != ',')) {
    return PortStatus::Failed("Invalid line settings \"" + settings + "\"");
  }
  baud_ = baud;
  if (telnet_ && portOpen()) {
    telnet_->setLine(baud_);
    sendTelnetOutbox();
  }
  return PortStatus::Ok();
}

void NetworkSerialPort::setInputLen(int count) { inputLen_ = std::max(0, count); }

PortStatus NetworkSerialPort::failed(const std::string& why) {
  close();
  return PortStatus::Failed(address_ + ": " + why);
}

PortStatus NetworkSerialPort::setPortOpen(bool open) {
  if (!open) {
    close();
    return PortStatus::Ok();
  }
  if (portOpen()) return PortStatus::Ok();
  address_ = resolver_ ? resolver_(commPort_) : std::string();
  const DeviceAddress address = ParseDeviceAddress(address_);
  if (!address.error.empty()) return PortStatus::Failed(address_ + ": " + address.error);
  if (address.kind == DeviceKind::SerialDevice) return failed("not a network address");
  if (PortStatus s = connectTo(address); !s.ok) return s;
  if (address.kind != DeviceKind::Rfc2217) return PortStatus::Ok();
  telnet_.emplace();
  return awaitComPortAnswer();
}

std::optional<std::string> NetworkSerialPort::waitUntil(const std::function<bool()>& done,
                                                        const std::string& awaited) {
  QDeadlineTimer deadline(kConnectMilliseconds, Qt::PreciseTimer);
  for (;;) {
    // A name lookup hands its result over in posted steps, and a wait does not wake for the
    // ones posted while the previous round ran.
    QCoreApplication::sendPostedEvents();
    if (done()) return std::nullopt;
    if (pump_.stopRequested()) return "stopped";
    if (socket_.state() == QAbstractSocket::UnconnectedState) {
      return socket_.errorString().toStdString();
    }
    const qint64 left = deadline.remainingTime();
    if (left <= 0) {
      return "no answer to " + awaited + " within " + std::to_string(kConnectMilliseconds / 1000) +
             " s";
    }
    pump_.waitForEvents(static_cast<double>(left) / 1000);
  }
}

PortStatus NetworkSerialPort::connectTo(const DeviceAddress& address) {
  telnet_.reset();
  received_.clear();
  socket_.connectToHost(QString::fromStdString(address.host), address.port);
  if (auto why = waitUntil([this] { return socket_.state() == QAbstractSocket::ConnectedState; },
                           "the connection")) {
    return failed(*why);
  }
  // Every frame goes out whole, at once, not held back to be joined with the next.
  socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
  return PortStatus::Ok();
}

// The line settings must reach the server's port before the first request does.
PortStatus NetworkSerialPort::awaitComPortAnswer() {
  sendTelnetOutbox();
  if (auto why = waitUntil(
          [this] {
            pull();
            return telnet_->comPortOption() != ComPortOption::Asked;
          },
          "the COM-PORT option (RFC 2217)")) {
    return failed(*why);
  }
  // A server that refuses the option still carries the bytes, at its own line settings. DTR
  // follows when the link raises it, as on a serial port.
  telnet_->setLine(baud_);
  sendTelnetOutbox();
  return PortStatus::Ok();
}

bool NetworkSerialPort::portOpen() const {
  return socket_.state() == QAbstractSocket::ConnectedState;
}

PortStatus NetworkSerialPort::setDtrEnable(bool enable) {
  dtr_ = enable;
  if (telnet_ && portOpen()) {
    telnet_->setDtr(enable);
    sendTelnetOutbox();
  }
  return PortStatus::Ok();
}

void NetworkSerialPort::pull() {
  if (socket_.bytesAvailable() <= 0) return;
  AcknowledgeAtOnce(socket_.socketDescriptor());
  const QByteArray bytes = socket_.readAll();
  const std::string_view view(bytes.constData(), static_cast<size_t>(bytes.size()));
  if (!telnet_) {
    received_.append(view);
    return;
  }
  received_ += telnet_->receive(view);
  sendTelnetOutbox();  // negotiation answers
}

void NetworkSerialPort::sendTelnetOutbox() {
  const std::string out = telnet_->takeOutbox();
  if (!out.empty() && portOpen()) {
    socket_.write(out.data(), static_cast<qint64>(out.size()));
    socket_.flush();
  }
}

int NetworkSerialPort::inBufferCount() {
  if (!portOpen()) return 0;
  pull();
  return static_cast<int>(received_.size());
}

void NetworkSerialPort::discardInBuffer() {
  pull();
  received_.clear();
}

// Nothing waits to be sent here: output() hands every frame to the socket at once.
void NetworkSerialPort::discardOutBuffer() {}

void NetworkSerialPort::discardBothBuffers() {
  discardInBuffer();
  if (telnet_ && portOpen()) {
    telnet_->purgeBoth();
    sendTelnetOutbox();
  }
}

std::string NetworkSerialPort::input() {
  if (!portOpen()) return {};
  pull();
  const size_t take = inputLen_ == 0 ? received_.size()
                                     : std::min(static_cast<size_t>(inputLen_), received_.size());
  std::string bytes = received_.substr(0, take);
  received_.erase(0, take);
  return bytes;
}

PortStatus NetworkSerialPort::output(const std::string& bytes) {
  if (!portOpen()) return PortStatus::Failed("port not open");
  const std::string wire = telnet_ ? telnet_->encode(bytes) : bytes;
  // Straight to the kernel when nothing is queued, as on the serial port: Qt's own path arms a
  // write notifier and copies the frame through its buffer first. What is not taken goes Qt's way.
  size_t sent = 0;
  if (socket_.bytesToWrite() == 0) {
    const ssize_t n = ::send(static_cast<int>(socket_.socketDescriptor()), wire.data(), wire.size(),
                             MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) sent = static_cast<size_t>(n);
    if (sent == wire.size()) return PortStatus::Ok();
  }
  if (socket_.write(wire.data() + sent, static_cast<qint64>(wire.size() - sent)) < 0) {
    return PortStatus::Failed(address_ + ": " + socket_.errorString().toStdString());
  }
  socket_.flush();  // to the kernel now, not at the next event-loop turn
  return PortStatus::Ok();
}

void NetworkSerialPort::close() {
  if (socket_.state() != QAbstractSocket::UnconnectedState) socket_.abort();
  received_.clear();
}

}  // namespace norvale
