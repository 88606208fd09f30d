#pragma once

#include <QTableView>

#include "app/record_grid_model.h"
#include "output/record_table.h"

namespace norvale {

// Twips are 1/1440 inch: 15 to a pixel at 96 dpi.
inline constexpr int kTwipsPerPixel = 15;
inline int TwipsToPixels(int twips) { return twips / kTwipsPerPixel; }

// The View tab's record grid: 65534 scrolling rows under the fixed header row, with the fixed
// column as the row header, in the table's column widths.
class RecordGrid : public QTableView {
  Q_OBJECT

 public:
  explicit RecordGrid(RecordTable& table, QWidget* parent = nullptr);

  RecordGridModel& gridModel() { return model_; }

 private:
  void applyColumnWidths();

  RecordGridModel model_;
};

}  // namespace norvale
