#pragma once

#include <cstdint>

#include "handheld/handheld_file.h"
#include "link/event_pump.h"

namespace norvale {

enum class MarkerScan { Found, None, Failed, Stopped };

// Looks for the first byte pair AA 55 from the start of the file, reading it in chunks of at
// most 1000 bytes; a pair split across two chunks counts. On Found, `position` is that of its
// AA byte. Failed when the file cannot be read. A long search yields now and then, and ends
// (Stopped) when the program is ending.
MarkerScan FindFirstRecordMarker(HandheldFile& file, EventPump& pump, int64_t& position);

}  // namespace norvale
