#include "app/record_grid_model.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QHeaderView>
#include <utility>
#include <vector>

#include "app/record_grid.h"

namespace norvale {
namespace {

struct RecordGridModelTest : ::testing::Test {
  RecordTable table;
  RecordGridModel model{table};
};

TEST_F(RecordGridModelTest, FixedRowAndColumnAreTheHeadersAndTheRestAreCells) {
  table.setCell(1, 0, "Record #");
  table.setCell(1, 1, "Date / Time");
  table.setCell(2, 0, "1");
  table.setCell(2, 3, "\xB5m");  // one byte per character
  table.setCell(65534, 9, "last");
  table.setCell(0, 4, "top");

  EXPECT_EQ(model.headerData(0, Qt::Vertical).toString(), "Record #");
  EXPECT_EQ(model.headerData(1, Qt::Vertical).toString(), "1");
  EXPECT_EQ(model.headerData(3, Qt::Horizontal).toString(), "top");
  EXPECT_EQ(model.data(model.index(0, 0)).toString(), "Date / Time");
  EXPECT_EQ(model.data(model.index(1, 2)).toString(), QString::fromLatin1("\xB5m"));
  EXPECT_EQ(model.data(model.index(65533, 8)).toString(), "last");
}

TEST_F(RecordGridModelTest, ChangedRowsAreRepaintedOnlyWhileRedrawIsOn) {
  std::vector<std::pair<int, int>> changed;
  QObject::connect(&model, &QAbstractItemModel::dataChanged,
                   [&](const QModelIndex& first, const QModelIndex& last) {
                     changed.emplace_back(first.row(), last.row());
                   });
  table.setCell(5, 2, "x");
  EXPECT_EQ(changed, (std::vector<std::pair<int, int>>{{4, 4}}));

  changed.clear();
  table.setRedraw(false);
  table.setCell(7, 2, "y");
  table.setCell(9, 2, "z");
  EXPECT_TRUE(changed.empty());
  table.setRedraw(true);
  EXPECT_EQ(changed, (std::vector<std::pair<int, int>>{{6, 8}}));
}

TEST_F(RecordGridModelTest, EmphasisedCellsAreBold) {
  table.setCell(3, 2, "max");
  table.setEmphasised(3, 2, true);
  EXPECT_TRUE(model.data(model.index(2, 1), Qt::FontRole).value<QFont>().bold());
  EXPECT_FALSE(model.data(model.index(2, 2), Qt::FontRole).isValid());
}

TEST(RecordGrid, ColumnWidthsFollowTheTableInPixels) {
  RecordTable table;
  RecordGrid grid(table);
  table.setColumnWidth(0, 1500);
  table.setColumnWidth(4, 3000);
  EXPECT_EQ(grid.verticalHeader()->width(), 100);
  EXPECT_EQ(grid.columnWidth(3), 200);
}

TEST(RecordGrid, TableOutlivesItsView) {
  RecordTable table;
  { RecordGrid grid(table); }
  table.setCell(2, 1, "after");  // no observer left to call
  table.clearCells();
  EXPECT_EQ(table.cell(2, 1), "");
}

}  // namespace
}  // namespace norvale
