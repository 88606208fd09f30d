#pragma once

#include <QPointer>
#include <QWidget>
#include <vector>

#include "app/window/session.h"
#include "app/window/window_controls.h"

namespace norvale {

// For the length of a download, an import, an ID scan, a dial or a hang-up: every other action
// that uses the serial port or the record table is disabled (all but `keep`), and the polling
// cycles leave the port alone. Such work yields to the event loop, so without this a second one
// could start inside the first.
class PortUsersLock {
 public:
  PortUsersLock(const WindowControls& controls, Session& session, QWidget* keep = nullptr);
  ~PortUsersLock();
  PortUsersLock(const PortUsersLock&) = delete;
  PortUsersLock& operator=(const PortUsersLock&) = delete;

 private:
  Session& session_;
  std::vector<QPointer<QWidget>> disabled_;
};

}  // namespace norvale
