#pragma once

#include <QObject>

#include "app/window/session.h"
#include "app/window/window_controls.h"

namespace norvale {

// The "Settings" tab at work: beside the port options, the device that the chosen "Comm" n opens
// now, looked up again whenever the choice changes or the tab is shown (an adapter may have been
// plugged in meanwhile).
class SettingsTabHandlers : public QObject {
  Q_OBJECT

 public:
  SettingsTabHandlers(const WindowControls& controls, Session& session, QObject* parent = nullptr);

  void showPortDevice();

 private:
  const WindowControls& controls_;
  Session& session_;
};

}  // namespace norvale
