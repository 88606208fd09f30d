#include <QApplication>
#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/window/main_window.h"
#include "app/window/session.h"
#include "link/any_device_port.h"
#include "link/comm_port_device.h"
#include "link/qt_event_pump.h"
#include "link/system_clock.h"
#include "settings/settings_folder.h"
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
    "It needs a display (X11 or Wayland); norvale-cli needs none.\n"
    "\n"
    "Files:\n"
    "  The settings file KX40dwn.ini is kept in the program's own folder when a file named\n"
    "  \"portable\" is beside the program and the folder can be written (a build folder has\n"
    "  one), else in $XDG_CONFIG_HOME/norvale-download (~/.config/norvale-download).\n"
    "  A CSV file name without a folder, such as the factory Logdata.csv, is written to the\n"
    "  settings folder when that is the program's own folder, else to the documents folder\n"
    "  (XDG_DOCUMENTS_DIR, ~/Documents), or the home folder when there is none. The status\n"
    "  line's tooltip shows where the last file went.\n"
    "  Port \"Comm\" n opens the device that a link named comN in the settings folder points\n"
    "  to (for example to a /dev/serial/by-id/ name); without one, /dev/ttyUSB(n-1) when it\n"
    "  exists, else /dev/ttyS(n-1).\n"
    "  The handheld database path is the settings file's [PalmDatabaseFile] line, chosen with\n"
    "  \"Browse for Palm Database\" on the Download tab; a path without a folder, such as the\n"
    "  factory c:\\Palm\\UserName\\Backup\\DBFLW2.pdb, names a file in the settings folder.\n"
    "\n"
    "Exit status:\n"
    "  0   the window was closed\n"
    "  1   no display\n"
    "  64  an unknown option\n";

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

constexpr int kExitNoDisplay = 1;
constexpr int kExitUsage = 64;

bool IsSet(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

// Without a display Qt's platform plugin aborts the program with advice to reinstall it. Only
// the usual cases are caught here: a named platform is left to Qt.
bool DisplayKnown(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
      return true;
    }
  }
  return IsSet("QT_QPA_PLATFORM") || IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv) {
  if (AnswerInformationRequest(argc, argv)) return 0;
  if (!DisplayKnown(argc, argv)) {
    std::fputs("norvale-download: no display: use norvale-cli, or set QT_QPA_PLATFORM=offscreen\n",
               stderr);
    return kExitNoDisplay;
  }
  QApplication app(argc, argv);
  // QApplication has taken its own options out; whatever is left is not understood.
  if (argc > 1) {
    std::fprintf(stderr, "norvale-download: unknown %s '%s'\n\n",
                 argv[1][0] == '-' ? "option" : "argument", argv[1]);
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  const QString folder = norvale::SettingsFolder();
  const std::string folderPath = QFile::encodeName(folder).toStdString();
  norvale::QtEventPump pump;
  norvale::AnyDevicePort port(
      [folderPath](int number) { return norvale::CommPortDevice(number, folderPath); }, pump);
  norvale::SystemClock clock;
  norvale::Session session(folder, port, clock, pump);
  session.settings.LogFileFolder = QFile::encodeName(norvale::OutputFolder(folder)).toStdString();
  norvale::MainWindow window(session);
  window.show();
  return app.exec();
}
