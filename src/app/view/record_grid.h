#pragma once

#include <QTableView>

#include "app/view/record_grid_model.h"
#include "output/record_table.h"

namespace norvale {

// Twips are 1/1440 inch: 15 to a pixel at 96 dpi.
inline constexpr int kTwipsPerPixel = 15;
inline int TwipsToPixels(int twips) { return twips / kTwipsPerPixel; }

// The View tab's record grid: the data rows scroll under the header of channel titles, with the
// record numbers as the row header and "Record #" in the corner. Columns take the table's
// widths, widened where a title or a logged time would not fit.
class RecordGrid : public QTableView {
  Q_OBJECT

 public:
  explicit RecordGrid(RecordTable& table, QWidget* parent = nullptr);

  RecordGridModel& gridModel() { return model_; }

 protected:
  // Paints the corner's title.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void applyColumnWidths();
  int textWidth(const QString& text, bool bold) const;

  RecordGridModel model_;
  QWidget* corner_ = nullptr;
};

}  // namespace norvale
