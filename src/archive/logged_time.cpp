#include "archive/logged_time.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>

namespace norvale {
namespace {

constexpr int64_t kSecondsPerDay = 86400;

// Days from 1970-01-01 of a date in years 1 to 9999.
int64_t daysOf(const LogDate& date) {
  using namespace std::chrono;
  const sys_days day = year{date.year} / month{static_cast<unsigned>(date.month)} /
                       std::chrono::day{static_cast<unsigned>(date.day)};
  return day.time_since_epoch().count();
}

const int64_t kFirst = daysOf({1, 1, 1}) * kSecondsPerDay;
const int64_t kLast = daysOf({9999, 12, 31}) * kSecondsPerDay + kSecondsPerDay - 1;

// Reads the unsigned number at the front of `text` and takes it off; false when there is none.
bool takeNumber(std::string_view& text, int& value) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc()) return false;
  text.remove_prefix(static_cast<size_t>(stop - text.data()));
  return true;
}

bool take(std::string_view& text, std::string_view expected) {
  if (!text.starts_with(expected)) return false;
  text.remove_prefix(expected.size());
  return true;
}

// The two digits at text[at], text[at + 1].
int twoDigits(std::string_view text, size_t at) {
  const auto digit = [&text](size_t i) { return text[i] >= '0' && text[i] <= '9'; };
  if (!digit(at) || !digit(at + 1)) return -1;
  return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

std::optional<int64_t> checked(const LogDate& date, const LogTime& time) {
  if (!IsValidDate(date) || !IsValidTime(time)) return std::nullopt;
  return LoggedAtOf(date, time);
}

}  // namespace

int64_t LoggedAtOf(const LogDate& date, const LogTime& time) {
  return daysOf(date) * kSecondsPerDay + time.hour * 3600 + time.minute * 60 + time.second;
}

LoggedStamp StampOf(int64_t loggedAt) {
  using namespace std::chrono;
  loggedAt = std::clamp(loggedAt, kFirst, kLast);
  // Floor division: times before 1970 count back from the day that holds them.
  int64_t dayNumber = loggedAt / kSecondsPerDay;
  int64_t second = loggedAt % kSecondsPerDay;
  if (second < 0) {
    second += kSecondsPerDay;
    --dayNumber;
  }
  const year_month_day date{sys_days{days{dayNumber}}};
  const int secondOfDay = static_cast<int>(second);
  return {{static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
           static_cast<int>(static_cast<unsigned>(date.day()))},
          {secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60}};
}

std::optional<int64_t> LoggedAtOfGeneralDateText(std::string_view text) {
  std::string_view rest = text;
  LogDate date;
  if (!takeNumber(rest, date.month) || !take(rest, "/") || !takeNumber(rest, date.day) ||
      !take(rest, "/") || !takeNumber(rest, date.year)) {
    return std::nullopt;
  }
  LogTime time;
  if (!rest.empty()) {
    int hour12 = 0;
    if (!take(rest, " ") || !takeNumber(rest, hour12) || !take(rest, ":") ||
        !takeNumber(rest, time.minute) || !take(rest, ":") || !takeNumber(rest, time.second) ||
        hour12 < 1 || hour12 > 12) {
      return std::nullopt;
    }
    if (take(rest, " PM")) {
      time.hour = hour12 % 12 + 12;
    } else if (take(rest, " AM")) {
      time.hour = hour12 % 12;
    } else {
      return std::nullopt;
    }
  }
  const std::optional<int64_t> at = checked(date, time);
  // Leading zeros, "12:00:00 AM" for midnight and the like are not what the table holds.
  if (!at || GeneralDateText(date, time) != text) return std::nullopt;
  return at;
}

std::string IsoText(int64_t loggedAt) {
  const LoggedStamp stamp = StampOf(loggedAt);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", stamp.date.year,
                stamp.date.month, stamp.date.day, stamp.time.hour, stamp.time.minute,
                stamp.time.second);
  return text;
}

std::optional<int64_t> LoggedAtOfIsoText(std::string_view text) {
  std::string_view rest = text;
  LogDate date;
  LogTime time;
  if (!takeNumber(rest, date.year) || !take(rest, "-") || !takeNumber(rest, date.month) ||
      !take(rest, "-") || !takeNumber(rest, date.day)) {
    return std::nullopt;
  }
  if (take(rest, "T") &&
      (!takeNumber(rest, time.hour) || !take(rest, ":") || !takeNumber(rest, time.minute) ||
       (take(rest, ":") && !takeNumber(rest, time.second)))) {
    return std::nullopt;
  }
  const std::optional<int64_t> at = rest.empty() ? checked(date, time) : std::nullopt;
  // Only the written form, cut after the day, the minute or the second: "2024-2-8" is not one.
  if (!at || !IsoText(*at).starts_with(text) ||
      (text.size() != 10 && text.size() != 16 && text.size() != 19)) {
    return std::nullopt;
  }
  return at;
}

std::optional<int64_t> LoggedAtOfHandheldDateText(std::string_view text) {
  // mm/dd/yyyy hh:mm
  // 0  3  6    11 14
  if (text.size() != 16 || text[2] != '/' || text[5] != '/' || text[10] != ' ' || text[13] != ':') {
    return std::nullopt;
  }
  const int century = twoDigits(text, 6);
  const int year = twoDigits(text, 8);
  if (century < 0 || year < 0) return std::nullopt;
  return checked({century * 100 + year, twoDigits(text, 0), twoDigits(text, 3)},
                 {twoDigits(text, 11), twoDigits(text, 14), 0});
}

}  // namespace norvale
