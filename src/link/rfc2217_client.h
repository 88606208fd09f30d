#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace norvale {

enum class ComPortOption { Asked, Agreed, Refused };

// The client side of telnet with the COM-PORT-OPTION (RFC 2217): the far end's serial line set
// from here. Bytes in, bytes out, one char per byte; the caller owns the socket.
class Rfc2217Client {
 public:
  Rfc2217Client();  // queues the greeting in the outbox
  // Bytes read from the server: returns the data among them for the link; negotiation answers
  // go to the outbox. A command split across calls (IAC at the end of one read) is kept for the
  // next.
  std::string receive(std::string_view fromServer);
  // Data for the server: 0xFF doubled (and CR sent as CR NUL while the server has not agreed to
  // binary in that direction).
  std::string encode(std::string_view data) const;
  // The option's requests. Queued and sent to the outbox once the server agreed to the option;
  // dropped when it refused.
  void setLine(uint32_t baud);  // 8 data bits, no parity, 1 stop bit, no flow control
  void setDtr(bool on);
  void purgeBoth();          // the server's receive and transmit buffers
  std::string takeOutbox();  // everything to send now, emptied
  ComPortOption comPortOption() const;

 private:
  // One direction of one option, RFC 1143 simplified: we never switch an option off ourselves.
  enum class Side : uint8_t {
    No,
    Asked,  // we sent WILL or DO and wait for the answer
    Yes,
    Refused,  // the server offered or asked for it and we said no: never answered again
  };
  enum class Parse : uint8_t { Data, Iac, Verb, Sb, SbIac };

  void afterIac(uint8_t byte, std::string& data);
  void negotiate(uint8_t verb, uint8_t option);
  void enable(Side& side, bool wanted, uint8_t accept, uint8_t refuse, uint8_t option);
  void disable(Side& side, uint8_t acknowledge, uint8_t option);
  void ask(Side& side, uint8_t verb, uint8_t option);
  void sendCommand(uint8_t verb, uint8_t option);
  void request(uint8_t command, const std::string& value);

  std::array<Side, 256> ours_{};    // options on our side: our WILL, the server's DO
  std::array<Side, 256> theirs_{};  // options on the server's side: its WILL, our DO
  Parse parse_ = Parse::Data;
  uint8_t verb_ = 0;
  bool afterCr_ = false;  // the last data byte was a CR that a NUL may pad
  std::string queued_;    // requests made before the server agreed to the option
  std::string outbox_;
};

}  // namespace norvale
