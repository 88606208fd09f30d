// Link figures against the meter simulator on a pty:
//   (a) 1024 log blocks of 128 words, unpaced: seconds (target below 2 s);
//   (b) 64 such blocks, simulator paced at 38400 baud: elapsed / wire time (target <= 1.05);
//   (c) the 30-s give-up of a read the meter never answers: CPU seconds / wall seconds
//       (target <= 0.02).
// Usage: link_bench [a|b|c ...]   (default: all three)

#include <sys/resource.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/simulated_link.h"
#include "link/meter_link.h"
#include "link/qt_event_pump.h"
// The benchmark links the program's libraries only, so the simulator helper comes in as source.
#include "support/handheld_database.cpp"
#include "support/simulator_process.cpp"

namespace {

using norvale::MeterLink;
using norvale::bench::SimulatedLink;

constexpr int kBaud = 38400;
constexpr int kBlockWords = 128;
constexpr int kBlockRequestBytes = 9;
constexpr int kBlockReplyBytes = 2 * kBlockWords + 9;

double wallNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double cpuNow() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Reads `count` consecutive blocks through the ring from 08 80 00; false on the first failure.
bool readBlocks(MeterLink& link, int count) {
  for (int i = 0; i < count; ++i) {
    int bank = 8 + (i / 64) % 16;
    int hi = 128 + i % 64;
    if (!link.ReadLogBlock(1, bank, hi, 0, kBlockWords)) {
      std::printf("  block %d (bank %d, high %d) failed\n", i, bank, hi);
      return false;
    }
  }
  return true;
}

bool unpacedBlocks() {
  SimulatedLink session({}, kBaud);
  if (!session.ready("(a)")) return false;
  double begin = wallNow();
  bool ok = readBlocks(*session.link, 1024);
  double seconds = wallNow() - begin;
  std::printf("(a) 1024 blocks of %d words, unpaced: %.3f s  (target < 2 s)%s\n", kBlockWords,
              seconds, ok ? "" : "  FAILED");
  return ok && seconds < 2;
}

bool pacedBlocks() {
  SimulatedLink session({"--baud", std::to_string(kBaud)}, kBaud);
  if (!session.ready("(b)")) return false;
  constexpr int kCount = 64;
  double begin = wallNow();
  bool ok = readBlocks(*session.link, kCount);
  double seconds = wallNow() - begin;
  double wire = kCount * (kBlockRequestBytes + kBlockReplyBytes) * 10.0 / kBaud;
  double ratio = seconds / wire;
  std::printf(
      "(b) %d blocks paced at %d baud: %.3f s for %.3f s of wire time, ratio %.4f  "
      "(target <= 1.05)%s\n",
      kCount, kBaud, seconds, wire, ratio, ok ? "" : "  FAILED");
  return ok && ratio <= 1.05;
}

bool silentGiveUp() {
  SimulatedLink session({"--silent", "3"}, kBaud);
  if (!session.ready("(c)")) return false;
  double wallBegin = wallNow();
  double cpuBegin = cpuNow();
  bool answered = session.link->ReadHoldingRegisters(1, 0, 76, 8);
  double cpu = cpuNow() - cpuBegin;
  double wall = wallNow() - wallBegin;
  double ratio = cpu / wall;
  std::printf(
      "(c) unanswered read: gave up after %.2f s wall, %.3f s CPU, CPU/wall %.4f  "
      "(target <= 0.02)%s\n",
      wall, cpu, ratio, answered ? "  UNEXPECTED ANSWER" : "");
  return !answered && ratio <= 0.02;
}

}  // namespace

int main(int argc, char** argv) {
  // As norvale-cli runs the link.
  norvale::PreferPlainEventDispatcher();
  QCoreApplication app(argc, argv);
  std::string parts = "abc";
  if (argc > 1) {
    parts.clear();
    for (int i = 1; i < argc; ++i) parts += argv[i];
  }
  bool met = true;
  if (parts.find('a') != std::string::npos) met = unpacedBlocks() && met;
  if (parts.find('b') != std::string::npos) met = pacedBlocks() && met;
  if (parts.find('c') != std::string::npos) met = silentGiveUp() && met;
  std::printf("%s\n", met ? "all targets met" : "some target missed");
  return met ? 0 : 1;
}
