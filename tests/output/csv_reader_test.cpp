#include "output/csv_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "output/csv_writer.h"

namespace norvale {
namespace {

TEST(ReadLogText, TitlesChannelsTotalisersAndRowsAsTheWriterStoredThem) {
  RecordTable table;
  ASSERT_TRUE(
      ReadLogText("Date / Time,Flow,Fwd Tot,Rev Total\r\n"
                  "3/4/2021 12:15:00 AM, 2.5, 1000, 7\r\n"
                  "\r\n"
                  "3/4/2021 12:30:00 AM,, 1001\n"
                  "3/4/2021 12:45:00 AM, 3, 1002, 8, 99\r\n",
                  table));
  EXPECT_EQ(table.LastRow, 4);
  EXPECT_EQ(table.cell(1, 1), "Date / Time");
  EXPECT_EQ(table.cell(1, 4), "Rev Total");
  EXPECT_EQ(table.ChannelUsed, (std::array<bool, 8>{true, true, true}));
  EXPECT_FALSE(table.ChannelIsTotal[0]);
  EXPECT_TRUE(table.ChannelIsTotal[1]);
  EXPECT_TRUE(table.ChannelIsTotal[2]);
  EXPECT_EQ(table.cell(2, 1), "3/4/2021 12:15:00 AM");
  EXPECT_EQ(table.cell(2, 4), " 7");
  EXPECT_EQ(table.cell(3, 2), "");  // an empty field stays a gap
  EXPECT_EQ(table.cell(3, 4), "");  // so does a missing one
  EXPECT_EQ(table.cell(4, 4), " 8");
  EXPECT_EQ(table.cell(4, 5), "") << "no field past the titled channels";
}

TEST(ReadLogText, RefusesTextThatIsNoLogFileAndLeavesTheTableAlone) {
  for (const char* text : {"", "\r\n", "Record #,Date / Time\r\n", "3/4/2021, 2.5\r\n"}) {
    RecordTable table;
    EXPECT_FALSE(ReadLogText(text, table)) << text;
    EXPECT_EQ(table.LastRow, 0);
    EXPECT_EQ(table.highestStoredRow(), 0);
    EXPECT_EQ(table.ChannelUsed, (std::array<bool, 8>{}));
  }
  RecordTable titlesOnly;
  EXPECT_TRUE(ReadLogText("Date / Time,Flow\r\n", titlesOnly));
  EXPECT_EQ(titlesOnly.LastRow, 1);
}

TEST(ReadLogText, ReadsBackWhatWriteLogFileStores) {
  RecordTable written;
  written.setCell(1, 0, "Record #");
  written.setCell(1, 1, "Date / Time");
  written.setCell(1, 3, "Flow");  // channel 2; channel 1 is not used
  written.ChannelUsed[1] = true;
  for (int row = 2; row <= 4; ++row) {
    written.setCell(row, 1, "3/4/2021 " + std::to_string(row) + ":00:00 AM");
    written.setCell(row, 2, " 111");
    written.setCell(row, 3, " " + std::to_string(row * 1.5));
  }
  written.LastRow = 4;
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / "csv_reader_round_trip.csv";
  std::string failure;
  ASSERT_TRUE(WriteLogFile(written, path.string(), failure)) << failure;
  std::ostringstream bytes;
  bytes << std::ifstream(path, std::ios::binary).rdbuf();
  std::filesystem::remove(path);

  RecordTable read;
  ASSERT_TRUE(ReadLogText(bytes.str(), read));
  EXPECT_EQ(read.LastRow, 4);
  EXPECT_EQ(read.cell(1, 2), "Flow");  // the file's first channel
  for (int row = 2; row <= 4; ++row) {
    EXPECT_EQ(read.cell(row, 1), written.cell(row, 1));
    EXPECT_EQ(read.cell(row, 2), written.cell(row, 3));
  }
}

}  // namespace
}  // namespace norvale
