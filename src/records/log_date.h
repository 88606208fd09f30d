#pragma once

#include <string>

namespace norvale {

// A calendar day of the proleptic Gregorian calendar, without time zone. Years 1 to 9999.
struct LogDate {
  int year = 0;
  int month = 0;
  int day = 0;
  friend bool operator==(const LogDate&, const LogDate&) = default;
};

struct LogTime {
  int hour = 0;
  int minute = 0;
  int second = 0;
  friend bool operator==(const LogTime&, const LogTime&) = default;
};

bool IsLeapYear(int year);
// 0 for a month outside 1..12.
int DaysInMonth(int year, int month);
bool IsValidDate(const LogDate& date);
bool IsValidTime(const LogTime& time);
// The following calendar day; a date that is not valid comes back unchanged.
LogDate NextDay(const LogDate& date);

// The U.S. general date-and-time form, whatever the machine's locale: "3/6/2021" for the date,
// "1:30:00 PM" for the time (12-hour clock, no leading zero on month, day or hour), and the
// two joined by a space, "3/6/2021 1:30:00 PM", except at exactly midnight, which shows the
// date alone ("11/4/2019"). Stored CSV files carry this text.
std::string UsDateText(const LogDate& date);
std::string UsTimeText(const LogTime& time);
std::string GeneralDateText(const LogDate& date, const LogTime& time);

}  // namespace norvale
