#include "output/record_table.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace norvale {
namespace {

struct RecordingObserver : RecordTableObserver {
  void rowsChanged(int firstRow, int lastRow) override { rows.emplace_back(firstRow, lastRow); }
  void layoutChanged() override { ++layouts; }
  std::vector<std::pair<int, int>> rows;
  int layouts = 0;
};

TEST(RecordTable, WritesOutsideTheTableAreLost) {
  RecordTable table;
  table.setCell(RecordTable::kRows, 1, "lost");
  table.setCell(-1, 1, "lost");
  table.setCell(2, RecordTable::kColumns, "lost");
  table.setCell(RecordTable::kRows - 1, 9, "kept");
  EXPECT_EQ(table.cell(RecordTable::kRows, 1), "");
  EXPECT_EQ(table.cell(2, RecordTable::kColumns), "");
  EXPECT_EQ(table.cell(RecordTable::kRows - 1, 9), "kept");
  EXPECT_EQ(table.highestStoredRow(), RecordTable::kRows - 1);
}

// Thousands of rows, written with room reserved for none, some or all of them, and every cell
// rewritten longer, shorter and longer again (its text moves, and the column is packed):
// every cell still reads what was written last.
TEST(RecordTable, GrowingAndRewritingKeepsEveryCell) {
  constexpr int kLastRow = 6000;
  auto text = [](int row, int column, int version) {
    const std::string base = std::to_string(row) + "/" + std::to_string(column);
    return version == 1 ? base.substr(0, 1) : base + std::string(static_cast<size_t>(version), '+');
  };
  for (int reserved : {0, 100, RecordTable::kRows}) {
    RecordTable table;
    table.reserveRows(reserved);
    for (int version : {0, 5, 1, 9}) {
      for (int row = 2; row <= kLastRow; ++row) {
        for (int column : {0, 1, 4}) table.setCell(row, column, text(row, column, version));
      }
      ASSERT_EQ(table.cell(2, 4), text(2, 4, version)) << "reserved " << reserved;
    }
    for (int row = 2; row <= kLastRow; ++row) {
      for (int column : {0, 1, 4}) {
        ASSERT_EQ(table.cell(row, column), text(row, column, 9)) << row << ", " << column;
      }
      ASSERT_EQ(table.cell(row, 2), "") << row;
    }
    EXPECT_EQ(table.highestStoredRow(), kLastRow);
  }
}

TEST(RecordTable, EmptyTableHasNoStoredRow) {
  RecordTable table;
  EXPECT_EQ(table.highestStoredRow(), 0);
  table.setCell(5, 1, "");
  EXPECT_EQ(table.highestStoredRow(), 0);
  table.setCell(5, 1, "x");
  table.clearCells();
  EXPECT_EQ(table.highestStoredRow(), 0);
  EXPECT_EQ(table.cell(5, 1), "");
}

TEST(RecordTable, ClearingKeepsWidthsAndChannelFlags) {
  RecordTable table;
  table.setColumnWidth(1, 1800);
  table.ChannelUsed[3] = true;
  table.ChannelIsTotal[3] = true;
  table.LastRow = 7;
  table.setCell(1, 1, "Date / Time");
  table.clearCells();
  EXPECT_EQ(table.cell(1, 1), "");
  EXPECT_EQ(table.columnWidth(1), 1800);
  EXPECT_TRUE(table.ChannelUsed[3]);
  EXPECT_TRUE(table.ChannelIsTotal[3]);
  EXPECT_EQ(table.LastRow, 7);
}

TEST(RecordTable, EmphasisIsPerCell) {
  RecordTable table;
  table.setEmphasised(1, 2, true);
  EXPECT_TRUE(table.emphasised(1, 2));
  EXPECT_FALSE(table.emphasised(1, 3));
  table.setEmphasised(1, 2, false);
  EXPECT_FALSE(table.emphasised(1, 2));
}

TEST(RecordTable, ReportsChangesOnceRedrawIsBackOn) {
  RecordTable table;
  RecordingObserver observer;
  table.setObserver(&observer);
  table.setRedraw(false);
  for (int row = 2; row <= 40; ++row) table.setCell(row, 2, "v");
  table.setCell(3, 1, "t");
  EXPECT_TRUE(observer.rows.empty());
  table.setRedraw(true);
  EXPECT_EQ(observer.rows, (std::vector<std::pair<int, int>>{{2, 40}}));

  table.setCell(50, 1, "now");
  EXPECT_EQ(observer.rows.back(), (std::pair<int, int>{50, 50}));
}

TEST(RecordTable, LayoutChangeWhileHiddenIsReportedOnce) {
  RecordTable table;
  RecordingObserver observer;
  table.setObserver(&observer);
  table.setRedraw(false);
  table.setCell(2, 2, "v");
  table.setColumnWidth(2, 2000);
  table.clearCells();
  EXPECT_EQ(observer.layouts, 0);
  table.setRedraw(true);
  EXPECT_EQ(observer.layouts, 1);
  EXPECT_TRUE(observer.rows.empty());
}

}  // namespace
}  // namespace norvale
