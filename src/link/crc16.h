#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace norvale {

inline constexpr uint16_t kCrcStart = 0xFFFF;

// One byte of CRC-16/MODBUS (reflected polynomial 0xA001, no final XOR).
uint16_t CrcStep(uint16_t crc, uint8_t byte);

// CRC of a whole byte text, from kCrcStart.
uint16_t Crc16Modbus(std::string_view bytes);

// The frame with its CRC appended, low byte first as it goes on the wire.
std::string WithCrc(std::string_view frame);

}  // namespace norvale
