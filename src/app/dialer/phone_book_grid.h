#pragma once

#include <QString>
#include <QTableWidget>
#include <array>

namespace norvale {

// The Dialer tab's phone list, addressed like the classic grid: 11 rows by 4 columns, row 0 and
// column 0 fixed. The fixed row is the horizontal header and the fixed column the vertical
// header, so the current cell is always an entry cell (row 1..10, column 1..3).
class PhoneBookGrid : public QTableWidget {
  Q_OBJECT

 public:
  static constexpr int kRows = 11;
  static constexpr int kColumns = 4;

  explicit PhoneBookGrid(QWidget* parent = nullptr);

  QString cellText(int row, int column) const;
  void setCellText(int row, int column, const QString& text);

  int gridRow() const { return currentRow() + 1; }
  int gridColumn() const { return currentColumn() + 1; }
  void setCurrentGridCell(int row, int column);

  void setGridColumnWidth(int column, int twips);
  int gridColumnWidth(int column) const;  // twips
  void setGridColumnAlignment(int column, Qt::Alignment alignment);
  void setHeaderBold(int column, bool bold);

 signals:
  // The current cell moved, by the user or by code.
  void gridSelectionChanged();

 private:
  QTableWidgetItem* itemAt(int row, int column) const;

  QString corner_;
  std::array<int, kColumns> widths_{};
};

}  // namespace norvale
