#include "support/tcp_ports.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace norvale::testing {
namespace {

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  return address;
}

int BoundPort(int fd) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

}  // namespace

int FreeTcpPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(0);
  const int port =
      ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ? BoundPort(fd) : 0;
  ::close(fd);
  return port;
}

bool SomeoneListensOn(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(port);
  const bool taken = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0;
  ::close(fd);
  return taken;
}

// A backlog of 0 holds one connection; the filler takes it, and later ones wait unanswered.
SilentListener::SilentListener() {
  fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(0);
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd_, 0) != 0) {
    return;
  }
  port_ = BoundPort(fd_);
  address = Loopback(port_);
  filler_ = ::socket(AF_INET, SOCK_STREAM, 0);
  ::connect(filler_, reinterpret_cast<sockaddr*>(&address), sizeof address);
}

SilentListener::~SilentListener() {
  ::close(filler_);
  ::close(fd_);
}

}  // namespace norvale::testing
