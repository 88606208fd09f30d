#include "app/view/record_grid_model.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QHeaderView>
#include <utility>
#include <vector>

#include "app/view/record_grid.h"

namespace norvale {
namespace {

struct RecordGridModelTest : ::testing::Test {
  RecordTable table;
  RecordGridModel model{table};
};

// The title row is the header that stays put while the rows scroll; it stays row 1 of the table.
TEST_F(RecordGridModelTest, TitleRowIsTheHeaderRecordNumbersTheRowHeaderAndTheRestAreCells) {
  table.setCell(1, 0, "Record #");
  table.setCell(1, 1, "Date / Time");
  table.setCell(1, 4, "Fwd Tot");
  table.setEmphasised(1, 4, true);
  table.setCell(2, 0, "1");
  table.setCell(2, 1, "3/4/2021 12:15:00 AM");
  table.setCell(2, 3, "\xB5m");  // one byte per character
  table.setCell(65534, 0, "65533");
  table.setCell(65534, 9, "last");
  table.setCell(0, 4, "never shown");

  EXPECT_EQ(model.cornerText(), "Record #");
  EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "Date / Time");
  EXPECT_EQ(model.headerData(3, Qt::Horizontal).toString(), "Fwd Tot");
  EXPECT_TRUE(model.headerData(3, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());
  EXPECT_EQ(model.headerData(0, Qt::Vertical).toString(), "1");
  EXPECT_EQ(model.data(model.index(0, 0)).toString(), "3/4/2021 12:15:00 AM");
  EXPECT_EQ(model.data(model.index(0, 2)).toString(), QString::fromLatin1("\xB5m"));
  EXPECT_EQ(model.rowCount(), 65533);
  EXPECT_EQ(model.headerData(65532, Qt::Vertical).toString(), "65533");
  EXPECT_EQ(model.data(model.index(65532, 8)).toString(), "last");
  EXPECT_EQ(table.cell(1, 4), "Fwd Tot") << "the table keeps its title row";
}

TEST_F(RecordGridModelTest, ChangedRowsAreRepaintedOnlyWhileRedrawIsOn) {
  std::vector<std::pair<int, int>> changed;
  QObject::connect(&model, &QAbstractItemModel::dataChanged,
                   [&](const QModelIndex& first, const QModelIndex& last) {
                     changed.emplace_back(first.row(), last.row());
                   });
  int titleChanges = 0;
  QObject::connect(&model, &RecordGridModel::titlesChanged, [&] { ++titleChanges; });
  table.setCell(5, 2, "x");
  EXPECT_EQ(changed, (std::vector<std::pair<int, int>>{{3, 3}}));
  table.setCell(1, 2, "Flow");
  EXPECT_EQ(titleChanges, 1);
  EXPECT_EQ(changed.size(), 1u) << "a title is no data row";

  changed.clear();
  table.setRedraw(false);
  table.setCell(7, 2, "y");
  table.setCell(9, 2, "z");
  EXPECT_TRUE(changed.empty());
  table.setRedraw(true);
  EXPECT_EQ(changed, (std::vector<std::pair<int, int>>{{5, 7}}));
}

TEST_F(RecordGridModelTest, EmphasisedCellsAreBold) {
  table.setCell(3, 2, "max");
  table.setEmphasised(3, 2, true);
  EXPECT_TRUE(model.data(model.index(1, 1), Qt::FontRole).value<QFont>().bold());
  EXPECT_FALSE(model.data(model.index(1, 2), Qt::FontRole).isValid());
}

TEST(RecordGrid, ColumnWidthsFollowTheTableInPixels) {
  RecordTable table;
  RecordGrid grid(table);
  table.setColumnWidth(0, 1500);
  table.setColumnWidth(4, 3000);
  EXPECT_EQ(grid.verticalHeader()->width(), 100);
  EXPECT_EQ(grid.columnWidth(3), 200);
}

// A column is never narrower than its title, nor the time column than a logged time.
TEST(RecordGrid, ColumnsWidenToTheirTitleAndTheTimeColumnToALoggedTime) {
  RecordTable table;
  RecordGrid grid(table);
  const QFontMetrics metrics(grid.horizontalHeader()->font());
  EXPECT_GT(grid.columnWidth(0),
            metrics.horizontalAdvance(QStringLiteral("12/31/2021 12:59:59 PM")));
  EXPECT_EQ(grid.columnWidth(1), 2000 / 15);
  const std::string longTitle = "Forward Totaliser Channel";
  table.setCell(1, 2, longTitle);
  EXPECT_GT(grid.columnWidth(1), metrics.horizontalAdvance(QString::fromStdString(longTitle)));
  table.setCell(1, 0, "Record #");
  EXPECT_GE(grid.verticalHeader()->width(), 1000 / 15);
  EXPECT_GT(grid.verticalHeader()->width(), metrics.horizontalAdvance(QStringLiteral("Record #")));
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
