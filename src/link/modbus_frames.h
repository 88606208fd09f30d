#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "link/frame_shapes.h"

namespace norvale {

// Request frames without their CRC (the link folds the CRC in as it sends), laid out as
// frame_shapes.h draws them, and the reply lengths the link waits for, counted in bytes waiting
// in the receive buffer.
std::string ReadHoldingRegistersFrame(int slave, int startHi, int startLo, int count);
std::string WriteMultipleRegistersFrame(int slave, int start, int count, int byteCount,
                                        const std::array<int16_t, 36>& hiBytes,
                                        const std::array<int16_t, 36>& loBytes);
std::string ReadLogBlockFrame(int slave, int bank, int addressHi, int addressLo, int words);
std::string ReadLastDownloadPointerFrame(int slave);
std::string ReadLiveValuesFrame(int slave);

// Only the low byte of the count counts, so a count above 255 is not supported.
int ReadHoldingRegistersReplyLength(int count);
int ReadLogBlockReplyLength(int words);

}  // namespace norvale
