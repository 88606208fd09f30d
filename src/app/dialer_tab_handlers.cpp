#include "app/dialer_tab_handlers.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>

#include "app/byte_text.h"
#include "app/phone_book_grid.h"
#include "app/port_users_lock.h"

namespace norvale {
namespace {

constexpr int kPhoneColumn = 2;
constexpr int kDescriptionColumn = 3;

}  // namespace

DialerTabHandlers::DialerTabHandlers(const WindowControls& controls, Session& session,
                                     QObject* parent)
    : QObject(parent), controls_(controls), session_(session) {
  connect(controls_.MSHFlexGrid2, &PhoneBookGrid::gridSelectionChanged, this,
          &DialerTabHandlers::onGridSelectionChange);
  for (int index : {0, 1}) {
    connect(controls_.Text5[index], &QLineEdit::textChanged, this,
            [this, index](const QString& text) { onText5Change(index, text); });
  }
  connect(controls_.Command4, &QPushButton::clicked, this, &DialerTabHandlers::onCommand4Click);
  connect(controls_.Command5, &QPushButton::clicked, this, &DialerTabHandlers::onCommand5Click);
}

// Picking a phone number or description shows the entry in the two boxes.
void DialerTabHandlers::onGridSelectionChange() {
  if (followingSelection_) return;
  PhoneBookGrid& grid = *controls_.MSHFlexGrid2;
  const int column = grid.gridColumn();
  if (column != kPhoneColumn && column != kDescriptionColumn) return;
  const int row = grid.gridRow();
  const QString phone = grid.cellText(row, kPhoneColumn);
  const QString description = grid.cellText(row, kDescriptionColumn);
  controls_.Text5[0]->setText(phone);
  controls_.Text5[1]->setText(description);
  QScopedValueRollback following(followingSelection_, true);
  grid.setCurrentGridCell(row, column);
}

// Every keystroke in a box goes straight into the current entry.
void DialerTabHandlers::onText5Change(int index, const QString& text) {
  PhoneBookGrid& grid = *controls_.MSHFlexGrid2;
  const int column = index == 0 ? kPhoneColumn : kDescriptionColumn;
  QScopedValueRollback following(followingSelection_, true);
  grid.setCurrentGridCell(grid.gridRow(), column);
  grid.setCellText(grid.gridRow(), column, text);
}

void DialerTabHandlers::onCommand4Click() {
  if (session_.longOperationRunning) return;
  PortUsersLock lock(controls_, session_, controls_.Command5);
  dialing_ = true;
  abortDial_ = false;
  {
    MeterLink::Transaction transaction(session_.link);
    if (transaction.acquired()) {
      DialModem(session_.link, ToSettingsText(controls_.Text7->text()),
                ToByteText(controls_.Text5[0]->text()), *this, abortDial_);
    }
  }
  dialing_ = false;
  if (hangUpAfterDial_) {
    hangUpAfterDial_ = false;
    hangUp();
  }
}

void DialerTabHandlers::onCommand5Click() {
  if (dialing_) {
    abortDial_ = true;
    hangUpAfterDial_ = true;
    return;
  }
  if (session_.longOperationRunning) return;
  PortUsersLock lock(controls_, session_);
  hangUp();
}

void DialerTabHandlers::hangUp() {
  MeterLink::Transaction transaction(session_.link);
  if (transaction.acquired()) HangUpModem(session_.link, *this);
}

void DialerTabHandlers::setDialerStatus(const std::string& text) {
  controls_.Label6->setText(FromByteText(text));
}

}  // namespace norvale
