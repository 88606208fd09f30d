#include "archive/logged_values.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <random>

#include "archive/downloaded_table.h"
#include "archive/export_lines.h"
#include "archive/logged_time.h"
#include "handheld/handheld_record.h"
#include "output/csv_writer.h"
#include "records/table_layout.h"
#include "text/number_text.h"

namespace norvale {
namespace {

using testing::downloadedTable;
using testing::expectSameLines;
using testing::fileText;

// The export's lines for a table's values: one line per run of values of one time.
std::string linesOf(const TableValues& values) {
  std::string text = CsvTitleLine(values.channels);
  for (size_t i = 0; i < values.values.size();) {
    LoggedRow row{values.values[i].loggedAt, {}};
    for (; i < values.values.size() && values.values[i].loggedAt == row.loggedAt; ++i) {
      row.values[values.values[i].channel - 1] = values.values[i].value;
    }
    AppendCsvLine(text, row, values.channels);
  }
  return text;
}

TEST(ValuesOfTable, DownloadedTableReadsBackAsItsLogFileByteForByte) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  for (uint32_t seed : {1u, 2u, 3u, 4u}) {
    const RecordTable table = downloadedTable(seed);
    ASSERT_GT(table.LastRow, 2000);
    const std::string path = folder.filePath("log.csv").toStdString();
    std::string failure;
    ASSERT_TRUE(WriteLogFile(table, path, failure)) << failure;

    const TableValues values = ValuesOfTable(table, TableDates::Download);
    EXPECT_EQ(values.unreadableRows, 0);
    EXPECT_EQ(values.unreadableValues, 0);
    ASSERT_EQ(values.channels.size(), 6u);
    EXPECT_EQ(values.channels[2], (ChannelName{5, "Flow Tot"}));
    EXPECT_EQ(values.channels[4], (ChannelName{7, ""}));
    SCOPED_TRACE("seed " + std::to_string(seed));
    expectSameLines(linesOf(values), fileText(path));
  }
}

TEST(ValuesOfTable, HandheldTableKeepsReadableRowsOfUsedChannels) {
  RecordTable table;
  StartTitleRow(table, TitleEmphasis::WholeRow);
  table.ChannelUsed[0] = table.ChannelUsed[2] = true;
  WriteChannelTitle(table, 1, "Flow");
  WriteChannelTitle(table, 3, "Level");
  const auto row = [&table](const std::string& date, const char* one, const char* two,
                            const char* three) {
    const int r = ++table.LastRow;
    table.setCell(r, 1, date);
    table.setCell(r, 2, one);
    table.setCell(r, 3, two);  // channel 2 is not used: the file leaves it out
    table.setCell(r, 4, three);
  };
  row(HandheldDateText({2021, 3, 6}, {13, 30, 0}), " 1.5", " 7", "-.25");
  row("", " 2", "", " 3");  // no date the import could read
  row(HandheldDateText({2021, 3, 7}, {0, 0, 0}), "", " 8", " 1E+15");
  row(HandheldDateText({2021, 3, 7}, {0, 1, 0}), "1.5", "", " 4");  // no sign column
  const int64_t first = LoggedAtOf({2021, 3, 6}, {13, 30, 0});
  const int64_t midnight = LoggedAtOf({2021, 3, 7}, {});

  const TableValues values = ValuesOfTable(table, TableDates::Handheld);
  EXPECT_EQ(values.channels, (std::vector<ChannelName>{{1, "Flow"}, {3, "Level"}}));
  EXPECT_EQ(values.values,
            (std::vector<LoggedValue>{
                {first, 1, 1.5}, {first, 3, -0.25}, {midnight, 3, 1e15}, {midnight + 60, 3, 4}}));
  EXPECT_EQ(values.unreadableRows, 1);
  EXPECT_EQ(values.unreadableValues, 1);
}

struct DateCase {
  const char* text;
  std::optional<int64_t> loggedAt;
};

void PrintTo(const DateCase& c, std::ostream* out) { *out << '"' << c.text << '"'; }

class GeneralDateTextTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(GeneralDateTextTest, ReadsOnlyWhatGeneralDateTextWrites) {
  EXPECT_EQ(LoggedAtOfGeneralDateText(GetParam().text), GetParam().loggedAt);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, GeneralDateTextTest,
    ::testing::Values(
        DateCase{"3/6/2021 1:30:00 PM", 1615037400}, DateCase{"3/6/2021 12:30:00 PM", 1615033800},
        DateCase{"3/6/2021 12:30:00 AM", 1614990600}, DateCase{"3/6/2021", 1614988800},
        DateCase{"1/1/1970", 0}, DateCase{"12/31/1969 11:59:59 PM", -1},
        DateCase{"1/1/1", -62135596800}, DateCase{"2/29/2024 9:05:07 AM", 1709197507},
        // Forms the table never holds.
        DateCase{"03/6/2021 1:30:00 PM", std::nullopt},
        DateCase{"3/6/2021 01:30:00 PM", std::nullopt},
        DateCase{"3/6/2021 12:00:00 AM", std::nullopt},
        DateCase{"3/6/2021 13:30:00 PM", std::nullopt},
        DateCase{"3/6/2021 0:30:00 AM", std::nullopt}, DateCase{"3/6/2021 1:30 PM", std::nullopt},
        DateCase{"3/6/2021 1:30:00 pm", std::nullopt},
        DateCase{"3/6/2021 1:30:00 PM ", std::nullopt}, DateCase{"2/29/2021", std::nullopt},
        DateCase{"13/1/2021", std::nullopt}, DateCase{"3/6/-2021", std::nullopt},
        DateCase{"", std::nullopt}, DateCase{"03/06/2021 13:30", std::nullopt}));

class HandheldDateTextTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(HandheldDateTextTest, ReadsTwoDigitFieldsAndTheDayClock) {
  EXPECT_EQ(LoggedAtOfHandheldDateText(GetParam().text), GetParam().loggedAt);
}

INSTANTIATE_TEST_SUITE_P(Texts, HandheldDateTextTest,
                         ::testing::Values(DateCase{"03/06/2021 13:30", 1615037400},
                                           DateCase{"03/06/2021 00:00", 1614988800},
                                           DateCase{"02/29/2024 23:59", 1709251140},
                                           DateCase{"3/6/2021 13:30", std::nullopt},
                                           DateCase{"03/06/2021 1:30 PM", std::nullopt},
                                           DateCase{"02/30/2021 10:00", std::nullopt},
                                           DateCase{"03/06/2021 24:00", std::nullopt},
                                           DateCase{"03/06/2021 13:3a", std::nullopt},
                                           DateCase{"03-06-2021 13:30", std::nullopt},
                                           DateCase{"", std::nullopt}));

class IsoTextTest : public ::testing::TestWithParam<DateCase> {};

// The command line's --from and --to: the written form, cut after the day, minute or second.
TEST_P(IsoTextTest, ReadsTheWrittenFormCutAfterDayMinuteOrSecond) {
  EXPECT_EQ(LoggedAtOfIsoText(GetParam().text), GetParam().loggedAt);
  if (GetParam().loggedAt && std::string_view(GetParam().text).size() == 19) {
    EXPECT_EQ(IsoText(*GetParam().loggedAt), GetParam().text);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IsoTextTest,
    ::testing::Values(DateCase{"2021-03-06T13:30:00", 1615037400},
                      DateCase{"2021-03-06T13:30", 1615037400}, DateCase{"2021-03-06", 1614988800},
                      DateCase{"2024-02-29T23:59:07", 1709251147},
                      DateCase{"2021-3-6", std::nullopt}, DateCase{"2021-03-06T13", std::nullopt},
                      DateCase{"2021-03-06T13:30:", std::nullopt},
                      DateCase{"2021-02-29", std::nullopt},
                      DateCase{"2021-03-06T24:00", std::nullopt},
                      DateCase{"2021-03-06 13:30", std::nullopt}, DateCase{"", std::nullopt}));

TEST(LoggedTime, StampOfUndoesLoggedAtOfAcrossTheCalendar) {
  std::mt19937 random(5);
  std::uniform_int_distribution<int> year(1, 9999), month(1, 12), day(1, 31), second(0, 86399);
  for (int i = 0; i < 20000; ++i) {
    LogDate date{year(random), month(random), day(random)};
    if (!IsValidDate(date)) continue;
    const int s = second(random);
    const LogTime time{s / 3600, s / 60 % 60, s % 60};
    const int64_t at = LoggedAtOf(date, time);
    const LoggedStamp stamp = StampOf(at);
    ASSERT_EQ(stamp.date, date) << at;
    ASSERT_EQ(stamp.time, time) << at;
    ASSERT_EQ(LoggedAtOf(NextDay(date), time), at + 86400) << at;
  }
}

TEST(KeepFirstOfEachKey, SortsByTimeAndChannelKeepingTheFirstOfRepeats) {
  std::vector<LoggedValue> values = {{120, 2, 1.0}, {60, 3, 5.0}, {120, 1, 2.0}, {60, 3, 5.0},
                                     {120, 2, 9.0}, {60, 1, 4.0}, {120, 2, 1.0}};
  EXPECT_EQ(KeepFirstOfEachKey(values), 1);
  EXPECT_EQ(values,
            (std::vector<LoggedValue>{{60, 1, 4.0}, {60, 3, 5.0}, {120, 1, 2.0}, {120, 2, 1.0}}));
}

TEST(CsvLines, WriteTheDownloadsFormWithEmptyCellsForMissingValues) {
  const std::vector<ChannelName> channels = {{1, "Flow"}, {3, ""}, {4, "Level"}};
  LoggedRow row{LoggedAtOf({2021, 3, 6}, {13, 30, 0}), {}};
  row.values[0] = 1.5;
  row.values[1] = 7;  // channel 2 is no column
  row.values[3] = -2;
  std::string text = CsvTitleLine(channels);
  AppendCsvLine(text, row, channels);
  row.loggedAt = LoggedAtOf({2021, 3, 7}, {});
  AppendCsvLine(text, row, channels);
  EXPECT_EQ(text,
            "Date / Time,Flow,,Level\r\n"
            "3/6/2021 1:30:00 PM, 1.5,,-2\r\n"
            "3/7/2021, 1.5,,-2\r\n");
}

}  // namespace
}  // namespace norvale
