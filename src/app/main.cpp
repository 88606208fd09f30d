#include <QApplication>
#include <QFile>
#include <cstdio>
#include <cstring>

#include "app/main_window.h"
#include "app/session.h"
#include "app/settings_folder.h"
#include "link/comm_port_device.h"
#include "link/qt_event_pump.h"
#include "link/qt_serial_port.h"
#include "link/system_clock.h"
#include "version/build_version.h"

namespace {

const char* const kUsage =
    "Usage: norvale-download [--help | --version] [Qt options such as -platform NAME]\n"
    "\n"
    "Opens the Norvale Download window: it downloads a Norvale flow meter's data log over a\n"
    "serial line or a dialed modem (Modbus RTU), shows it as a table and a chart, saves it as a\n"
    "CSV file, imports the same records from a handheld's backup database, shows live readings,\n"
    "works the meter's keypad and dials meters from a phone book. norvale-cli does the same\n"
    "without a window.\n"
    "\n"
    "  --help     this text\n"
    "  --version  the version and the build's git description\n"
    "\n"
    "Files:\n"
    "  The settings file KX40dwn.ini is kept in the program's own folder when that can be\n"
    "  written (a build folder), else in $XDG_CONFIG_HOME/norvale-download\n"
    "  (~/.config/norvale-download).\n"
    "  A CSV file name without a folder, such as the factory Logdata.csv, is written to the\n"
    "  settings folder when the program runs from its own folder, else to the documents folder\n"
    "  (XDG_DOCUMENTS_DIR, ~/Documents), or the home folder when there is none. The status\n"
    "  line's tooltip shows where the last file went.\n"
    "  Port \"Comm\" n opens the device that a link named comN in the settings folder points\n"
    "  to (for example to a /dev/serial/by-id/ name); without one, /dev/ttyUSB(n-1) when it\n"
    "  exists, else /dev/ttyS(n-1).\n";

// Answered before the window exists, so that they work without a display.
bool AnswerInformationRequest(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return true;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s\n", norvale::VersionLine("norvale-download").c_str());
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (AnswerInformationRequest(argc, argv)) return 0;
  QApplication app(argc, argv);
  const QString folder = norvale::SettingsFolder();
  const std::string folderPath = QFile::encodeName(folder).toStdString();
  norvale::QtSerialPort port(
      [folderPath](int number) { return norvale::CommPortDevice(number, folderPath); });
  norvale::SystemClock clock;
  norvale::QtEventPump pump;
  norvale::Session session(folder, port, clock, pump);
  session.settings.LogFileFolder = QFile::encodeName(norvale::OutputFolder(folder)).toStdString();
  norvale::MainWindow window(session);
  window.show();
  return app.exec();
}
