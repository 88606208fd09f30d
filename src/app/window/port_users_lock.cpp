#include "app/window/port_users_lock.h"

#include <QPushButton>
#include <QRadioButton>

namespace norvale {

PortUsersLock::PortUsersLock(const WindowControls& c, Session& session, QWidget* keep)
    : session_(session) {
  session_.longOperationRunning = true;
  // Option5(3) starts polling at once.
  std::vector<QWidget*> users{c.Command6,   c.Command9, c.Command4, c.Command5,
                              c.Option5[3], c.Command2, c.Command7};
  for (QPushButton* key : c.Command1) users.push_back(key);
  for (QWidget* widget : users) {
    if (widget && widget != keep && widget->isEnabled()) {
      widget->setEnabled(false);
      disabled_.emplace_back(widget);
    }
  }
}

PortUsersLock::~PortUsersLock() {
  for (const QPointer<QWidget>& widget : disabled_) {
    if (widget) widget->setEnabled(true);
  }
  session_.longOperationRunning = false;
}

}  // namespace norvale
