#include "link/crc16.h"

#include <gtest/gtest.h>

#include "text/leading_number.h"

namespace norvale {
namespace {

TEST(Crc16, MatchesKnownModbusFrames) {
  EXPECT_EQ(Crc16Modbus(std::string("\x01\x03\x00\x18\x00\x0A", 6)), 0xCA45);
  EXPECT_EQ(Crc16Modbus(std::string("\x01\x63", 2)), 0x0940);
  // The standard check value of CRC-16/MODBUS.
  EXPECT_EQ(Crc16Modbus("123456789"), 0x4B37);
  EXPECT_EQ(WithCrc(std::string("\x01\x03\x00\x4C\x00\x08", 6)),
            std::string("\x01\x03\x00\x4C\x00\x08\x85\xDB", 8));
}

TEST(LeadingNumber, TakesTheLongestLeadingNumber) {
  struct Case {
    const char* text;
    double value;
    bool isNumber;
  };
  for (Case c : {Case{"001", 1, true}, Case{" 9600", 9600, true}, Case{"3x", 3, true},
                 Case{"abc", 0, false}, Case{"", 0, false}, Case{"9600.0", 9600, true},
                 Case{"-12.5e", -12.5, true}, Case{"12abc", 12, true}, Case{"+7", 7, true},
                 Case{".5", 0.5, true}, Case{"-", 0, false}, Case{"1 2", 12, true}}) {
    EXPECT_DOUBLE_EQ(LeadingNumberValue(c.text), c.value) << c.text;
    EXPECT_EQ(StartsWithNumber(c.text), c.isNumber) << c.text;
  }
}

TEST(LeadingNumber, RoundsHalvesToEvenAndRefusesValuesOutsideSixteenBits) {
  EXPECT_EQ(ToInt16HalfEven(2.5), 2);
  EXPECT_EQ(ToInt16HalfEven(3.5), 4);
  EXPECT_EQ(ToInt16HalfEven(-2.5), -2);
  EXPECT_EQ(ToInt16HalfEven(32767.4), 32767);
  EXPECT_EQ(ToInt16HalfEven(-32768.0), -32768);
  EXPECT_FALSE(ToInt16HalfEven(32767.5).has_value());
  EXPECT_FALSE(ToInt16HalfEven(99999).has_value());
}

}  // namespace
}  // namespace norvale
