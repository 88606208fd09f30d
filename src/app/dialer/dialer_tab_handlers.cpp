#include "app/dialer/dialer_tab_handlers.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>

#include "app/controls/selected_option.h"
#include "app/dialer/phone_book_grid.h"
#include "app/window/port_users_lock.h"
#include "settings/settings_file.h"
#include "text/byte_text.h"

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

// A poll that still waits for its reply holds the port for a few seconds more.
bool DialerTabHandlers::portBusy() {
  if (!session_.link.busy()) return false;
  setDialerStatus("Port busy");
  return true;
}

void DialerTabHandlers::onCommand4Click() {
  if (session_.longOperationRunning || portBusy()) return;
  PortUsersLock lock(controls_, session_, controls_.Command5);
  dialing_ = true;
  abortDial_ = false;
  {
    MeterLink::Transaction transaction(session_.link);
    const CallPort port{session_.settings.CommPort, session_.settings.CommBaud};
    if (DialModem(session_.link, ToSettingsText(controls_.Text7->text()),
                  ToByteText(controls_.Text5[0]->text()), *this,
                  abortDial_) != DialResult::PortNotOpened) {
      call_ = port;
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
  if (session_.longOperationRunning || portBusy()) return;
  PortUsersLock lock(controls_, session_);
  hangUp();
}

void DialerTabHandlers::hangUp() {
  MeterLink::Transaction transaction(session_.link);
  if (!transaction.acquired()) {
    setDialerStatus("Port busy");
    return;
  }
  if (call_) {
    // The link opens the port with the settings in force: for the hang-up, the call's.
    session_.settings.CommPort = call_->number;
    session_.settings.CommBaud = call_->baud;
  }
  // A port that could not be opened leaves the call to a later hang-up.
  if (HangUpModem(session_.link, *this)) call_.reset();
  restoreChosenPort();
}

// The options show the port chosen now, a click during the hang-up included.
void DialerTabHandlers::restoreChosenPort() {
  if (const int port = SelectedIndex(controls_.Option2); port >= 0) {
    session_.settings.CommPort = static_cast<int16_t>(port + 1);
  }
  if (const int baud = SelectedIndex(controls_.Option1); baud >= 0) {
    session_.settings.CommBaud = kBaudRates[static_cast<size_t>(baud)];
  }
}

void DialerTabHandlers::setDialerStatus(const std::string& text) {
  controls_.Label6->setText(FromByteText(text));
}

void DialerTabHandlers::setDialerWait(const std::string& text) {
  controls_.DialWait->setText(QString::fromStdString(text));
}

}  // namespace norvale
