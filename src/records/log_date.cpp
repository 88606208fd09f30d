#include "records/log_date.h"

#include <charconv>

namespace norvale {
namespace {

// Three dates or times of 11-character numbers still fit.
constexpr int kTextRoom = 96;

char* putNumber(char* out, int value) { return std::to_chars(out, out + 12, value).ptr; }

char* putTwoDigits(char* out, int value) {
  if (value >= 0 && value < 10) *out++ = '0';
  return putNumber(out, value);
}

char* putDate(char* out, const LogDate& date) {
  out = putNumber(out, date.month);
  *out++ = '/';
  out = putNumber(out, date.day);
  *out++ = '/';
  return putNumber(out, date.year);
}

char* putTime(char* out, const LogTime& time) {
  int hour12 = time.hour % 12;
  out = putNumber(out, hour12 == 0 ? 12 : hour12);
  *out++ = ':';
  out = putTwoDigits(out, time.minute);
  *out++ = ':';
  out = putTwoDigits(out, time.second);
  *out++ = ' ';
  *out++ = time.hour < 12 ? 'A' : 'P';
  *out++ = 'M';
  return out;
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(const LogDate& date) {
  return date.year >= 1 && date.year <= 9999 && date.day >= 1 &&
         date.day <= DaysInMonth(date.year, date.month);
}

bool IsValidTime(const LogTime& time) {
  return time.hour >= 0 && time.hour <= 23 && time.minute >= 0 && time.minute <= 59 &&
         time.second >= 0 && time.second <= 59;
}

LogDate NextDay(const LogDate& date) {
  if (!IsValidDate(date)) return date;
  if (date.day < DaysInMonth(date.year, date.month)) return {date.year, date.month, date.day + 1};
  if (date.month < 12) return {date.year, date.month + 1, 1};
  return {date.year + 1, 1, 1};
}

std::string UsDateText(const LogDate& date) {
  char text[kTextRoom];
  return std::string(text, putDate(text, date));
}

std::string UsTimeText(const LogTime& time) {
  char text[kTextRoom];
  return std::string(text, putTime(text, time));
}

std::string GeneralDateText(const LogDate& date, const LogTime& time) {
  char text[kTextRoom];
  char* out = putDate(text, date);
  if (time != LogTime{}) {
    *out++ = ' ';
    out = putTime(out, time);
  }
  return std::string(text, out);
}

}  // namespace norvale
