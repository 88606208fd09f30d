#include "link/rfc2217_client.h"

#include <utility>

namespace norvale {
namespace {

constexpr uint8_t kIac = 255;
constexpr uint8_t kDont = 254;
constexpr uint8_t kDo = 253;
constexpr uint8_t kWont = 252;
constexpr uint8_t kWill = 251;
constexpr uint8_t kSb = 250;
constexpr uint8_t kSe = 240;

constexpr uint8_t kBinary = 0;
constexpr uint8_t kSuppressGoAhead = 3;
constexpr uint8_t kComPort = 44;

// COM-PORT-OPTION requests from the client (the server answers with command + 100).
constexpr uint8_t kSetBaudRate = 1;
constexpr uint8_t kSetDataSize = 2;
constexpr uint8_t kSetParity = 3;
constexpr uint8_t kSetStopSize = 4;
constexpr uint8_t kSetControl = 5;
constexpr uint8_t kPurgeData = 12;

constexpr uint8_t kParityNone = 1;
constexpr uint8_t kNoFlowControl = 1;
constexpr uint8_t kDtrOn = 8;
constexpr uint8_t kDtrOff = 9;
constexpr uint8_t kPurgeBothBuffers = 3;

constexpr char kCr = '\r';
constexpr char kNul = '\0';

bool wantedOnOurSide(uint8_t option) {
  return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}
bool wantedOnTheirSide(uint8_t option) { return option == kBinary || option == kSuppressGoAhead; }

char asChar(uint8_t byte) { return static_cast<char>(byte); }

}  // namespace

Rfc2217Client::Rfc2217Client() {
  ask(ours_[kComPort], kWill, kComPort);
  ask(ours_[kBinary], kWill, kBinary);
  ask(theirs_[kBinary], kDo, kBinary);
  ask(ours_[kSuppressGoAhead], kWill, kSuppressGoAhead);
  ask(theirs_[kSuppressGoAhead], kDo, kSuppressGoAhead);
}

std::string Rfc2217Client::receive(std::string_view fromServer) {
  std::string data;
  data.reserve(fromServer.size());
  for (const char c : fromServer) {
    const auto byte = static_cast<uint8_t>(c);
    switch (parse_) {
      case Parse::Data:
        if (byte == kIac) {
          parse_ = Parse::Iac;
          afterCr_ = false;
          break;
        }
        // Outside binary a CR goes as CR NUL (RFC 854); the NUL is padding, not data.
        if (afterCr_ && c == kNul) {
          afterCr_ = false;
          break;
        }
        afterCr_ = c == kCr && theirs_[kBinary] != Side::Yes;
        data += c;
        break;
      case Parse::Iac:
        afterIac(byte, data);
        break;
      case Parse::Verb:
        negotiate(verb_, byte);
        parse_ = Parse::Data;
        break;
      case Parse::Sb:
        // Replies and notifications (line and modem state) are not looked at.
        if (byte == kIac) parse_ = Parse::SbIac;
        break;
      case Parse::SbIac:
        if (byte == kSe) {
          parse_ = Parse::Data;
        } else if (byte == kIac) {
          parse_ = Parse::Sb;
        } else {
          afterIac(byte, data);  // a broken subnegotiation ends at the next command
        }
        break;
    }
  }
  return data;
}

void Rfc2217Client::afterIac(uint8_t byte, std::string& data) {
  parse_ = Parse::Data;
  if (byte == kIac) {
    data += asChar(kIac);
  } else if (byte >= kWill && byte <= kDont) {
    verb_ = byte;
    parse_ = Parse::Verb;
  } else if (byte == kSb) {
    parse_ = Parse::Sb;
  }
  // Anything else (NOP, GA, a stray SE, ...) means nothing on a serial line.
}

void Rfc2217Client::negotiate(uint8_t verb, uint8_t option) {
  switch (verb) {
    case kWill:
      enable(theirs_[option], wantedOnTheirSide(option), kDo, kDont, option);
      return;
    case kWont:
      disable(theirs_[option], kDont, option);
      return;
    case kDo:
      enable(ours_[option], wantedOnOurSide(option), kWill, kWont, option);
      break;
    case kDont:
      disable(ours_[option], kWont, option);
      break;
  }
  if (option != kComPort) return;
  switch (comPortOption()) {
    case ComPortOption::Agreed:
      outbox_ += std::exchange(queued_, {});
      break;
    case ComPortOption::Refused:
      queued_.clear();
      break;
    case ComPortOption::Asked:
      break;
  }
}

// Answers only what changes the state, so two ends that both repeat themselves cannot loop.
void Rfc2217Client::enable(Side& side, bool wanted, uint8_t accept, uint8_t refuse,
                           uint8_t option) {
  switch (side) {
    case Side::Asked:
      side = Side::Yes;
      break;
    case Side::No:
      side = wanted ? Side::Yes : Side::Refused;
      sendCommand(wanted ? accept : refuse, option);
      break;
    case Side::Yes:
    case Side::Refused:
      break;
  }
}

void Rfc2217Client::disable(Side& side, uint8_t acknowledge, uint8_t option) {
  if (side == Side::Yes) sendCommand(acknowledge, option);
  if (side == Side::Yes || side == Side::Asked) side = Side::No;
}

void Rfc2217Client::ask(Side& side, uint8_t verb, uint8_t option) {
  side = Side::Asked;
  sendCommand(verb, option);
}

void Rfc2217Client::sendCommand(uint8_t verb, uint8_t option) {
  outbox_ += {asChar(kIac), asChar(verb), asChar(option)};
}

std::string Rfc2217Client::encode(std::string_view data) const {
  const bool binary = ours_[kBinary] == Side::Yes;
  std::string out;
  out.reserve(data.size());
  for (const char c : data) {
    out += c;
    if (c == asChar(kIac)) {
      out += c;
    } else if (c == kCr && !binary) {
      out += kNul;
    }
  }
  return out;
}

// IAC SB 44 <command> <value, 0xFF doubled> IAC SE
void Rfc2217Client::request(uint8_t command, const std::string& value) {
  std::string sb = {asChar(kIac), asChar(kSb), asChar(kComPort), asChar(command)};
  for (const char c : value) {
    sb += c;
    if (c == asChar(kIac)) sb += c;
  }
  sb += {asChar(kIac), asChar(kSe)};
  switch (comPortOption()) {
    case ComPortOption::Agreed:
      outbox_ += sb;
      break;
    case ComPortOption::Asked:
      queued_ += sb;
      break;
    case ComPortOption::Refused:
      break;
  }
}

void Rfc2217Client::setLine(uint32_t baud) {
  const std::string bigEndian = {
      asChar(static_cast<uint8_t>(baud >> 24)), asChar(static_cast<uint8_t>(baud >> 16)),
      asChar(static_cast<uint8_t>(baud >> 8)), asChar(static_cast<uint8_t>(baud))};
  request(kSetBaudRate, bigEndian);
  request(kSetDataSize, {8});
  request(kSetParity, {asChar(kParityNone)});
  request(kSetStopSize, {1});
  request(kSetControl, {asChar(kNoFlowControl)});
}

void Rfc2217Client::setDtr(bool on) { request(kSetControl, {asChar(on ? kDtrOn : kDtrOff)}); }

void Rfc2217Client::purgeBoth() { request(kPurgeData, {asChar(kPurgeBothBuffers)}); }

std::string Rfc2217Client::takeOutbox() { return std::exchange(outbox_, {}); }

ComPortOption Rfc2217Client::comPortOption() const {
  switch (ours_[kComPort]) {
    case Side::Asked:
      return ComPortOption::Asked;
    case Side::Yes:
      return ComPortOption::Agreed;
    case Side::No:
    case Side::Refused:
      break;
  }
  return ComPortOption::Refused;
}

}  // namespace norvale
