#include "download/record_decoder.h"

#include <climits>
#include <cmath>
#include <cstdint>

#include "records/bcd.h"
#include "records/meter_float.h"
#include "text/number_text.h"

namespace norvale {
namespace {

constexpr size_t kRecordSize = 8;
constexpr uint8_t kErased = 255;

// The hexadecimal digits of a byte without leading zero ("5", "30", "3A"). The row grouping
// compares these texts, as the stamp memory holds them.
std::string_view hexText(int value, char (&room)[2]) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  if (value < 16) {
    room[0] = kDigits[value];
    return {room, 1};
  }
  room[0] = kDigits[(value >> 4) & 15];
  room[1] = kDigits[value & 15];
  return {room, 2};
}

std::optional<int> yearOf(uint8_t b2, uint8_t b3, uint8_t b4) {
  const uint8_t y = (b2 & 0xC0) >> 3 | (b3 & 0xC0) >> 5 | (b4 & 0x80) >> 7;
  if (b2 > 192) {
    auto twoDigits = DecodeBcd(y);
    if (!twoDigits) return std::nullopt;
    return 2000 + *twoDigits;
  }
  auto lastDigit = DecodeBcd(y & 15);
  if (!lastDigit) return std::nullopt;
  return 2020 + *lastDigit;
}

struct Stamp {
  LogDate date;
  LogTime time;
};

std::optional<Stamp> stampOf(uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4) {
  auto year = yearOf(b2, b3, b4);
  auto day = DecodeBcd(b2 & 63);
  auto hour = DecodeBcd(b3 & 63);
  auto minute = DecodeBcd(b4 & 127);
  if (!year || !day || !hour || !minute) return std::nullopt;
  Stamp stamp{{*year, b1 & 15, *day}, {*hour, *minute, 0}};
  if (!IsValidDate(stamp.date) || !IsValidTime(stamp.time)) return std::nullopt;
  if (stamp.time == LogTime{}) stamp.date = NextDay(stamp.date);
  return stamp;
}

}  // namespace

bool DecodeLogRecords(std::string_view text, RecordTable& table, PreviousStamp& previous) {
  for (size_t at = 0; at < text.size(); at += kRecordSize) {
    const std::string_view record = text.substr(at, kRecordSize);
    auto byte = [&record](size_t i) { return static_cast<uint8_t>(record[i]); };

    const int channel = byte(0) >> 4;
    const bool valueChannel = channel >= 1 && channel <= RecordTable::kChannels;
    if (valueChannel) table.ChannelUsed[channel - 1] = true;
    // A short last group has no value to show.
    if (record.size() < kRecordSize) continue;

    const uint8_t b1 = byte(0), b2 = byte(1), b3 = byte(2), b4 = byte(3);
    if (b1 == kErased || b2 == kErased || b3 == kErased || b4 == kErased) continue;
    auto stamp = stampOf(b1, b2, b3, b4);
    if (!stamp) continue;

    char minuteRoom[2];
    char hourRoom[2];
    const std::string_view minuteText = hexText(b4 & 127, minuteRoom);
    const std::string_view hourText = hexText(b3 & 63, hourRoom);
    if (minuteText != previous.minuteText || hourText != previous.hourText) {
      if (table.LastRow < INT32_MAX) ++table.LastRow;
      // Built as new strings: copying the view into the old ones trips a false -Wrestrict
      // in GCC 12 at -O3.
      previous.minuteText = std::string(minuteText);
      previous.hourText = std::string(hourText);
    }
    previous.date = stamp->date;
    previous.time = stamp->time;

    const int row = table.LastRow;
    table.setCell(row, 1, GeneralDateText(stamp->date, stamp->time));
    table.setCell(row, 0, std::to_string(int64_t{row} - 1));
    if (valueChannel) {
      double value = DecodeMeterFloat(byte(4), byte(5), byte(6), byte(7));
      if (table.ChannelIsTotal[channel - 1]) value = std::floor(value);
      table.setCell(row, channel + 1, NumberText(value));
    }
  }
  return true;
}

}  // namespace norvale
