#include "dialer/link_modem_line.h"

namespace norvale {

std::optional<char> LinkModemLine::takeByte() {
  // With a byte waiting, the link's reply wait takes it at once.
  if (link_.port().inBufferCount() <= 0 || !link_.WaitForReply(1)) return std::nullopt;
  const std::string& taken = link_.state().ReplyBuffer;
  if (taken.empty()) return std::nullopt;
  return taken[0];
}

void LinkModemLine::discardBuffers() {
  link_.port().discardInBuffer();
  link_.port().discardOutBuffer();
}

}  // namespace norvale
