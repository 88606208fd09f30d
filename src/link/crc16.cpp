#include "link/crc16.h"

#include <string>

namespace norvale {

uint16_t CrcStep(uint16_t crc, uint8_t byte) {
  crc ^= byte;
  for (int bit = 0; bit < 8; ++bit) {
    bool lowBit = crc & 1;
    crc >>= 1;
    if (lowBit) crc ^= 0xA001;
  }
  return crc;
}

uint16_t Crc16Modbus(std::string_view bytes) {
  uint16_t crc = kCrcStart;
  for (char c : bytes) crc = CrcStep(crc, static_cast<uint8_t>(c));
  return crc;
}

std::string WithCrc(std::string_view frame) {
  uint16_t crc = Crc16Modbus(frame);
  std::string out(frame);
  out += static_cast<char>(crc & 0xFF);
  out += static_cast<char>(crc >> 8);
  return out;
}

}  // namespace norvale
