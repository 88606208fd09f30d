#include <QApplication>
#include <QFile>

#include "app/main_window.h"
#include "app/session.h"
#include "app/settings_folder.h"
#include "link/comm_port_device.h"
#include "link/qt_event_pump.h"
#include "link/qt_serial_port.h"
#include "link/system_clock.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString folder = norvale::SettingsFolder();
  const std::string folderPath = QFile::encodeName(folder).toStdString();
  norvale::QtSerialPort port(
      [folderPath](int number) { return norvale::CommPortDevice(number, folderPath); });
  norvale::SystemClock clock;
  norvale::QtEventPump pump;
  norvale::Session session(folder, port, clock, pump);
  norvale::MainWindow window(session);
  window.show();
  return app.exec();
}
