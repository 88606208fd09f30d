#include "handheld/handheld_record.h"

#include <cstdint>
#include <cstdio>
#include <iterator>

#include "records/bcd.h"
#include "records/fill_bytes.h"
#include "records/meter_float.h"

namespace norvale {
namespace {

constexpr size_t kModuleId = 6;
constexpr size_t kKind = 7;
constexpr size_t kName = 8;
constexpr size_t kNameLength = 10;
constexpr size_t kYear = 22;
constexpr size_t kMonth = 23;
constexpr size_t kDay = 24;
constexpr size_t kHour = 25;
constexpr size_t kMinute = 26;
constexpr size_t kValue = 27;

uint8_t at(std::string_view record, size_t i) { return static_cast<uint8_t>(record[i]); }

}  // namespace

bool HasRecordMarker(std::string_view record) {
  return record.size() >= 2 && at(record, 0) == 0xAA && at(record, 1) == 0x55;
}

int ModuleIdOf(std::string_view record) { return at(record, kModuleId); }

int ChannelOf(std::string_view record) {
  int kind = at(record, kKind);
  return kind % 0x10 == 0 && kind >= 0x10 && kind <= 0x80 ? kind / 0x10 : 0;
}

std::string ChannelNameOf(std::string_view record) {
  return StripFillBytes(record.substr(kName, kNameLength));
}

std::string_view StampBytesOf(std::string_view record) {
  return record.substr(kYear, kMinute + 1 - kYear);
}

std::optional<LogDate> DateOf(std::string_view record) {
  std::optional<int> year = DecodeBcd(at(record, kYear));
  std::optional<int> day = DecodeBcd(at(record, kDay));
  if (!year || !day) return std::nullopt;
  LogDate date{2000 + *year, at(record, kMonth), *day};
  if (!IsValidDate(date)) return std::nullopt;
  return date;
}

std::optional<LogTime> TimeOf(std::string_view record) {
  std::optional<int> hour = DecodeBcd(at(record, kHour));
  std::optional<int> minute = DecodeBcd(at(record, kMinute));
  if (!hour || !minute) return std::nullopt;
  LogTime time{*hour, *minute, 0};
  if (!IsValidTime(time)) return std::nullopt;
  return time;
}

double ValueOf(std::string_view record) {
  return DecodeMeterFloat(at(record, kValue), at(record, kValue + 1), at(record, kValue + 2),
                          at(record, kValue + 3));
}

std::string HandheldDateText(const LogDate& date, const LogTime& time) {
  const int fields[] = {date.month,      date.day,  date.year / 100,
                        date.year % 100, time.hour, time.minute};
  bool twoDigits = date.year >= 0;
  for (int field : fields) twoDigits = twoDigits && field >= 0 && field <= 99;
  if (!twoDigits) {
    char text[24];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d", date.month, date.day, date.year,
                  time.hour, time.minute);
    return text;
  }
  // Every field two digits, the year two pairs: once per logged time of an import, so no printf.
  std::string text = "00/00/0000 00:00";
  constexpr size_t kAt[] = {0, 3, 6, 8, 11, 14};
  for (size_t i = 0; i < std::size(fields); ++i) {
    text[kAt[i]] = static_cast<char>('0' + fields[i] / 10);
    text[kAt[i] + 1] = static_cast<char>('0' + fields[i] % 10);
  }
  return text;
}

}  // namespace norvale
