#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "support/simulator_process.h"

namespace norvale::bench {

constexpr int kBitsPerByte = 10;  // start bit, 8 data bits, stop bit

// Frame sizes on the wire, request and reply, CRC included.
constexpr int kStatusRequestBytes = 8;     // slave 03 start(2) count(2) CRC
constexpr int kReadReplyOverhead = 5;      // slave 03 n ... CRC
constexpr int kBlockRequestBytes = 9;      // slave 60 bank hi lo count(2) CRC
constexpr int kBlockReplyOverhead = 9;     // slave 60 bank hi lo len(2) ... CRC
constexpr int kPointerRequestBytes = 9;    // slave 61 00 00 00 00 00 CRC
constexpr int kPointerReplyBytes = 7;      // slave 61 bank hi lo CRC
constexpr int kWriteAcknowledgeBytes = 8;  // slave 10 start(2) count(2) CRC
constexpr int kSetupBank = 24;

// Wire bytes of one exchange the simulator logged: request and, when it answered, the reply.
struct ExchangeBytes {
  int request = 0;
  int reply = 0;
};

inline ExchangeBytes WireBytesOf(const testing::SimulatorRequest& r) {
  ExchangeBytes bytes;
  switch (r.function) {
    case 3:
      bytes = {kStatusRequestBytes, kReadReplyOverhead + 2 * r.count};
      break;
    case 96:
      bytes = {kBlockRequestBytes, kBlockReplyOverhead + 2 * r.count};
      break;
    case 97:
      bytes = {kPointerRequestBytes, kPointerReplyBytes};
      break;
    case 16:
      bytes = {9 + 2 * r.count, kWriteAcknowledgeBytes};
      break;
    default:
      break;
  }
  // A corrupted reply still crosses the line; an exception reply is slave, function, code, CRC.
  if (r.action == "exception") bytes.reply = 5;
  if (r.action != "answered" && r.action != "corrupted" && r.action != "exception") bytes.reply = 0;
  return bytes;
}

// The logged requests grouped by kind (status read, set-up read, log block of n words) with
// their wire bytes added up.
struct ExchangeTally {
  struct Kind {
    int exchanges = 0;
    int answered = 0;
    int requestBytes = 0;  // of one exchange
    int replyBytes = 0;
    long totalBytes = 0;
  };
  std::map<std::string, Kind> kinds;
  long totalBytes = 0;
  int exchanges = 0;
  int notAnswered = 0;
  int noise = 0;  // log lines that were no request of ours (discarded bytes, other slaves)

  double wireSeconds(int baud) const {
    return static_cast<double>(totalBytes) * kBitsPerByte / baud;
  }
};

inline ExchangeTally TallyExchanges(const std::vector<testing::SimulatorRequest>& log) {
  ExchangeTally tally;
  for (const testing::SimulatorRequest& r : log) {
    if (r.seq < 0) {
      ++tally.noise;
      continue;
    }
    std::string kind = "function " + std::to_string(r.function);
    if (r.function == 3) kind += " status read of " + std::to_string(r.count) + " registers";
    if (r.function == 96) {
      kind += r.bank == kSetupBank ? " set-up read of " : " log block of ";
      kind += std::to_string(r.count) + " words";
    }
    ExchangeBytes bytes = WireBytesOf(r);
    ExchangeTally::Kind& k = tally.kinds[kind];
    ++k.exchanges;
    if (r.action == "answered") {
      ++k.answered;
      k.replyBytes = bytes.reply;
    } else {
      ++tally.notAnswered;
    }
    k.requestBytes = bytes.request;
    k.totalBytes += bytes.request + bytes.reply;
    tally.totalBytes += bytes.request + bytes.reply;
    ++tally.exchanges;
  }
  return tally;
}

// One line per kind, then the total; with a `baud` above 0 also its wire time.
inline void PrintTally(const ExchangeTally& tally, int baud) {
  for (const auto& [name, k] : tally.kinds) {
    std::printf("      %-42s x%5d (%d answered): %d + %d bytes each, %ld bytes\n", name.c_str(),
                k.exchanges, k.answered, k.requestBytes, k.replyBytes, k.totalBytes);
  }
  std::printf("      total %d exchanges, %ld bytes", tally.exchanges, tally.totalBytes);
  if (baud > 0) {
    std::printf(" x %d bits / %d baud = %.3f s", kBitsPerByte, baud, tally.wireSeconds(baud));
  }
  std::printf("\n");
  if (tally.notAnswered || tally.noise) {
    std::printf("      (%d requests not answered, %d log lines of noise)\n", tally.notAnswered,
                tally.noise);
  }
}

}  // namespace norvale::bench
