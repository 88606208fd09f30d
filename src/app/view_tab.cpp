#include <QVBoxLayout>

#include "app/record_grid.h"
#include "app/window_controls.h"
#include "app/window_tabs.h"

namespace norvale {

QWidget* BuildViewTab(WindowControls& c, RecordTable& records) {
  auto* page = new QWidget;
  c.MSHFlexGrid1 = new RecordGrid(records);
  c.MSHFlexGrid1->setObjectName(QStringLiteral("MSHFlexGrid1"));
  c.MSHFlexGrid1->setAccessibleName(QStringLiteral("Records"));
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(c.MSHFlexGrid1);
  return page;
}

}  // namespace norvale
