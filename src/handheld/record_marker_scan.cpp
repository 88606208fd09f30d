#include "handheld/record_marker_scan.h"

namespace norvale {
namespace {

constexpr int64_t kScanChunk = 1000;
// About a megabyte between yields: a search through hundreds of megabytes keeps the window alive.
constexpr int kChunksPerYield = 1000;

}  // namespace

MarkerScan FindFirstRecordMarker(HandheldFile& file, EventPump& pump, int64_t& position) {
  if (!file.seek(0)) return MarkerScan::Failed;
  char chunk[kScanChunk];
  int64_t chunkStart = 0;
  bool previousWasAA = false;
  for (int chunks = 1;; ++chunks) {
    if (chunks % kChunksPerYield == 0) {
      pump.yieldOnce();
      if (pump.stopRequested()) return MarkerScan::Stopped;
    }
    int64_t got = file.read(chunk, kScanChunk);
    if (got < 0) return MarkerScan::Failed;
    if (got == 0) return MarkerScan::None;
    for (int64_t i = 0; i < got; ++i) {
      auto byte = static_cast<unsigned char>(chunk[i]);
      if (previousWasAA && byte == 0x55) {
        position = chunkStart + i - 1;
        return MarkerScan::Found;
      }
      previousWasAA = byte == 0xAA;
    }
    chunkStart += got;
  }
}

}  // namespace norvale
