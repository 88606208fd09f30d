#include "records/log_date.h"

#include <gtest/gtest.h>

#include <ostream>

namespace norvale {
namespace {

struct DayCase {
  LogDate date;
  bool valid;
  LogDate next;
};

void PrintTo(const DayCase& c, std::ostream* out) { *out << UsDateText(c.date); }

class LogDateDays : public ::testing::TestWithParam<DayCase> {};

TEST_P(LogDateDays, KnowsValidityAndTheFollowingDay) {
  const DayCase& c = GetParam();
  EXPECT_EQ(IsValidDate(c.date), c.valid);
  EXPECT_EQ(NextDay(c.date), c.next);
}

INSTANTIATE_TEST_SUITE_P(
    Calendar, LogDateDays,
    ::testing::Values(
        DayCase{{2021, 3, 6}, true, {2021, 3, 7}}, DayCase{{2021, 4, 30}, true, {2021, 5, 1}},
        DayCase{{2021, 4, 31}, false, {2021, 4, 31}}, DayCase{{2021, 12, 31}, true, {2022, 1, 1}},
        DayCase{{2024, 2, 28}, true, {2024, 2, 29}}, DayCase{{2024, 2, 29}, true, {2024, 3, 1}},
        DayCase{{2021, 2, 29}, false, {2021, 2, 29}}, DayCase{{2000, 2, 29}, true, {2000, 3, 1}},
        DayCase{{1900, 2, 29}, false, {1900, 2, 29}}, DayCase{{2021, 0, 1}, false, {2021, 0, 1}},
        DayCase{{2021, 13, 1}, false, {2021, 13, 1}}, DayCase{{2021, 1, 0}, false, {2021, 1, 0}},
        DayCase{{0, 1, 1}, false, {0, 1, 1}}));

// The last day of every month, and of a leap February: valid, one day more is not, and a
// midnight record of that day moves on to the first of the next month.
TEST(LogDate, EveryMonthEndsOnItsLastDay) {
  struct MonthEnd {
    int year, month, lastDay;
  };
  const MonthEnd ends[] = {{2021, 1, 31}, {2021, 2, 28}, {2024, 2, 29},  {2021, 3, 31},
                           {2021, 4, 30}, {2021, 5, 31}, {2021, 6, 30},  {2021, 7, 31},
                           {2021, 8, 31}, {2021, 9, 30}, {2021, 10, 31}, {2021, 11, 30},
                           {2021, 12, 31}};
  for (const MonthEnd& e : ends) {
    const LogDate last{e.year, e.month, e.lastDay};
    SCOPED_TRACE(UsDateText(last));
    EXPECT_EQ(DaysInMonth(e.year, e.month), e.lastDay);
    EXPECT_TRUE(IsValidDate(last));
    EXPECT_FALSE(IsValidDate({e.year, e.month, e.lastDay + 1}));
    const LogDate next =
        e.month == 12 ? LogDate{e.year + 1, 1, 1} : LogDate{e.year, e.month + 1, 1};
    EXPECT_EQ(NextDay(last), next);
    EXPECT_EQ(NextDay({e.year, e.month, e.lastDay - 1}), last);
  }
}

TEST(LogTime, HoursAndMinutesMustExist) {
  EXPECT_TRUE(IsValidTime({23, 59, 0}));
  EXPECT_TRUE(IsValidTime({0, 0, 0}));
  EXPECT_FALSE(IsValidTime({24, 0, 0}));
  EXPECT_FALSE(IsValidTime({12, 60, 0}));
  EXPECT_FALSE(IsValidTime({-1, 0, 0}));
}

struct TextCase {
  LogDate date;
  LogTime time;
  const char* text;
};

void PrintTo(const TextCase& c, std::ostream* out) { *out << c.text; }

class GeneralDate : public ::testing::TestWithParam<TextCase> {};

TEST_P(GeneralDate, WritesTheUsForm) {
  EXPECT_EQ(GeneralDateText(GetParam().date, GetParam().time), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, GeneralDate,
    ::testing::Values(TextCase{{2021, 3, 6}, {13, 30, 0}, "3/6/2021 1:30:00 PM"},
                      TextCase{{2020, 11, 3}, {21, 30, 0}, "11/3/2020 9:30:00 PM"},
                      TextCase{{2019, 11, 4}, {0, 0, 0}, "11/4/2019"},
                      TextCase{{2021, 12, 25}, {0, 1, 0}, "12/25/2021 12:01:00 AM"},
                      TextCase{{2021, 1, 2}, {12, 0, 0}, "1/2/2021 12:00:00 PM"},
                      TextCase{{2021, 1, 2}, {11, 59, 59}, "1/2/2021 11:59:59 AM"},
                      TextCase{{2021, 1, 2}, {23, 5, 7}, "1/2/2021 11:05:07 PM"},
                      TextCase{{2021, 1, 2}, {0, 0, 1}, "1/2/2021 12:00:01 AM"}));

TEST(GeneralDate, DateAndTimeAlsoStandAlone) {
  EXPECT_EQ(UsDateText({2029, 10, 31}), "10/31/2029");
  EXPECT_EQ(UsTimeText({0, 0, 0}), "12:00:00 AM");
  EXPECT_EQ(UsTimeText({9, 7, 0}), "9:07:00 AM");
}

}  // namespace
}  // namespace norvale
