#include "app/view/record_grid.h"

#include <QAbstractButton>
#include <QEvent>
#include <QHeaderView>
#include <QPainter>
#include <QStyleOptionHeader>
#include <algorithm>

namespace norvale {
namespace {

// The longest a logged time is written (the meter's "General Date" form).
constexpr const char* kWidestTime = "12/30/2000 12:00:00 PM";
constexpr const char* kWidestRecordNumber = "65533";
constexpr int kTimeColumn = 1;

}  // namespace

RecordGrid::RecordGrid(RecordTable& table, QWidget* parent)
    : QTableView(parent), model_(table, this) {
  setModel(&model_);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setWordWrap(false);
  // Fixed heights keep 65533 rows cheap: the view never measures them.
  QHeaderView* rows = verticalHeader();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(fontMetrics().height() + 4);
  rows->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  rows->setHighlightSections(false);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setMinimumSectionSize(1);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // The corner button (which selects nothing in a single-selection view) shows the row
  // header's title.
  corner_ = findChild<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly);
  if (corner_) corner_->installEventFilter(this);
  connect(&model_, &RecordGridModel::columnWidthsChanged, this, &RecordGrid::applyColumnWidths);
  connect(&model_, &RecordGridModel::titlesChanged, this, &RecordGrid::applyColumnWidths);
  applyColumnWidths();
}

int RecordGrid::textWidth(const QString& text, bool bold) const {
  if (text.isEmpty()) return 0;
  QFont font = horizontalHeader()->font();
  font.setBold(bold);
  // The header's own margins on both sides and room for the grid line.
  const int margin = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this) + 4;
  return QFontMetrics(font).horizontalAdvance(text) + margin;
}

void RecordGrid::applyColumnWidths() {
  const RecordTable& table = model_.table();
  const int title = RecordGridModel::kTitleRow;
  const int rowHeaderWidth = std::max({TwipsToPixels(table.columnWidth(0)),
                                       textWidth(model_.cornerText(), table.emphasised(title, 0)),
                                       textWidth(QString::fromLatin1(kWidestRecordNumber), false)});
  verticalHeader()->setFixedWidth(rowHeaderWidth);
  for (int column = 1; column < RecordTable::kColumns; ++column) {
    const QString text = model_.headerData(column - 1, Qt::Horizontal).toString();
    int width = std::max(TwipsToPixels(table.columnWidth(column)),
                         textWidth(text, table.emphasised(title, column)));
    if (column == kTimeColumn)
      width = std::max(width, textWidth(QString::fromLatin1(kWidestTime), false));
    setColumnWidth(column - 1, width);
  }
  if (corner_) corner_->update();
}

bool RecordGrid::eventFilter(QObject* watched, QEvent* event) {
  if (watched != corner_ || event->type() != QEvent::Paint) {
    return QTableView::eventFilter(watched, event);
  }
  QStyleOptionHeader option;
  option.initFrom(corner_);
  option.rect = corner_->rect();
  option.position = QStyleOptionHeader::OnlyOneSection;
  option.orientation = Qt::Horizontal;
  option.text = model_.cornerText();
  option.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
  QPainter painter(corner_);
  if (model_.table().emphasised(RecordGridModel::kTitleRow, 0)) {
    QFont bold = painter.font();
    bold.setBold(true);
    painter.setFont(bold);
  }
  corner_->style()->drawControl(QStyle::CE_Header, &option, &painter, corner_);
  return true;
}

}  // namespace norvale
