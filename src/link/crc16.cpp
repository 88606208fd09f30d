#include "link/crc16.h"

#include <array>
#include <string>

namespace norvale {

namespace {

// The register after shifting one byte's eight bits through the reflected polynomial 0xA001,
// for each value of the low byte: every reply byte is folded in twice, so a bit loop shows.
constexpr std::array<uint16_t, 256> MakeCrcTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned value = 0; value < 256; ++value) {
    uint16_t crc = static_cast<uint16_t>(value);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    table[value] = crc;
  }
  return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

}  // namespace

uint16_t CrcStep(uint16_t crc, uint8_t byte) {
  return static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ byte) & 0xFF]);
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
