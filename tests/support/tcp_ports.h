#pragma once

#include <string>

namespace norvale::testing {

// A TCP port of 127.0.0.1 that no one listens on at this moment.
int FreeTcpPort();

// True while someone listens on `port` of 127.0.0.1 (found by binding it, not by connecting).
bool SomeoneListensOn(int port);

// A listener whose queue is full: a connection to it is neither taken nor refused, as with a
// server that does not answer.
class SilentListener {
 public:
  SilentListener();
  ~SilentListener();
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;

  std::string address() const { return "tcp://127.0.0.1:" + std::to_string(port_); }

 private:
  int fd_ = -1;
  int filler_ = -1;
  int port_ = 0;
};

}  // namespace norvale::testing
