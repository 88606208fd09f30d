#include "app/settings/settings_tab_handlers.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>

#include "link/comm_port_device.h"
#include "link/device_address.h"

namespace norvale {

SettingsTabHandlers::SettingsTabHandlers(const WindowControls& controls, Session& session,
                                         QObject* parent)
    : QObject(parent), controls_(controls), session_(session) {
  for (QRadioButton* option : controls_.Option2) {
    connect(option, &QRadioButton::toggled, this, [this](bool on) {
      if (on) showPortDevice();
    });
  }
  connect(controls_.SSTab1, &QTabWidget::currentChanged, this, [this] {
    if (controls_.SSTab1->currentWidget()->isAncestorOf(controls_.PortDevice)) showPortDevice();
  });
  showPortDevice();
}

void SettingsTabHandlers::showPortDevice() {
  int number = 0;
  for (size_t i = 0; i < controls_.Option2.size(); ++i) {
    if (controls_.Option2[i]->isChecked()) number = static_cast<int>(i) + 1;
  }
  if (number == 0) {
    controls_.PortDevice->clear();
    return;
  }
  const std::string folder = QFile::encodeName(session_.settingsFolder()).toStdString();
  const QString device = QFile::decodeName(CommPortDevice(number, folder).c_str());
  // A device node only exists while its hardware is there (a USB adapter plugged in); a device
  // server's address is only tried when connecting.
  const bool reachable = QFileInfo::exists(device) || IsNetworkAddress(device.toStdString());
  controls_.PortDevice->setText(reachable ? QStringLiteral("Opens %1").arg(device)
                                          : QStringLiteral("No device at %1").arg(device));
}

}  // namespace norvale
