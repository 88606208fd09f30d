// A handheld database of 500,000 log records (three meters, about 55,000 logged times) imported
// through the window's "Download Data" with "Use Palm DataBase" ticked, CSV file included:
// seconds and peak resident memory. Then the same import by `norvale-cli import`, beside a plain
// program that writes the same CSV bytes with printf and with std::to_chars (bench/programs):
// the median CPU time of five runs each and the ratio of the import to the to_chars program
// (target at most 1.5). Run from an optimised build:
//   QT_QPA_PLATFORM=offscreen build/default/bench/handheld_bench [records]
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <cstdio>
#include <string>
#include <vector>

#include "app/controls/three_state_check_box.h"
#include "app/window/main_window.h"
#include "app/window/session.h"
#include "common/measured_run.h"
#include "link/qt_event_pump.h"
#include "link/qt_serial_port.h"
#include "link/system_clock.h"
#include "support/handheld_database.cpp"

namespace {

constexpr double kTargetSeconds = 1.0;
constexpr double kTargetMegabytes = 150;

constexpr int kHeadlessRuns = 5;
constexpr double kTargetPeerRatio = 1.5;

double PeakResidentMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Medians of several runs of one command, and the CSV file of its last run.
struct HeadlessFigures {
  bool ran = false;
  int exitStatus = -1;
  double cpuSeconds = 0;
  double wallSeconds = 0;
  double peakMegabytes = 0;
  std::string csv;
};

HeadlessFigures MeasureHeadless(const std::vector<std::string>& command, const std::string& csv,
                                const std::string& messages) {
  HeadlessFigures figures;
  std::vector<double> cpu, wall, peak;
  for (int run = 0; run < kHeadlessRuns; ++run) {
    const norvale::bench::MeasuredRun measured =
        norvale::bench::RunMeasured(NORVALE_MEASURED_RUN, command, messages);
    if (!measured.measured) return figures;
    figures.exitStatus = measured.exitStatus;
    cpu.push_back(measured.cpuSeconds());
    wall.push_back(measured.wallSeconds);
    peak.push_back(measured.peakMegabytes);
  }
  figures.ran = true;
  figures.cpuSeconds = norvale::bench::Median(cpu);
  figures.wallSeconds = norvale::bench::Median(wall);
  figures.peakMegabytes = norvale::bench::Median(peak);
  figures.csv = norvale::bench::FileText(csv);
  return figures;
}

// `importCsv` is the import's file to compare with, or null for the import itself.
void PrintHeadless(const char* what, const HeadlessFigures& figures, const std::string* importCsv) {
  if (!figures.ran) {
    std::printf("  %-26s could not be run\n", what);
    return;
  }
  const char* bytes = importCsv == nullptr        ? ""
                      : figures.csv == *importCsv ? ", the same bytes"
                                                  : ", DIFFERENT bytes";
  std::printf("  %-26s CPU %.3f s, wall %.3f s, peak %.1f MB, exit %d, %zu bytes%s\n", what,
              figures.cpuSeconds, figures.wallSeconds, figures.peakMegabytes, figures.exitStatus,
              figures.csv.size(), bytes);
}

// norvale-cli import of the database beside the plain programs.
void CompareHeadlessImport(const std::string& database, const std::string& folder) {
  const std::string importCsv = folder + "/import.csv";
  const std::string printfCsv = folder + "/printf.csv";
  const std::string toCharsCsv = folder + "/to_chars.csv";
  const HeadlessFigures import =
      MeasureHeadless({NORVALE_CLI, "import", "--database", database, "--output", importCsv},
                      importCsv, folder + "/import.messages");
  const HeadlessFigures withPrintf = MeasureHeadless(
      {NORVALE_IMPORT_CSV_PEER, "printf", database, printfCsv}, printfCsv, folder + "/printf.out");
  const HeadlessFigures withToChars =
      MeasureHeadless({NORVALE_IMPORT_CSV_PEER, "to_chars", database, toCharsCsv}, toCharsCsv,
                      folder + "/to_chars.out");

  std::printf(
      "headless import beside plain programs writing the same CSV (median of %d runs; "
      "CPU = user + system from wait4):\n",
      kHeadlessRuns);
  PrintHeadless("norvale-cli import:", import, nullptr);
  PrintHeadless("plain program, printf:", withPrintf, &import.csv);
  PrintHeadless("plain program, to_chars:", withToChars, &import.csv);
  if (!import.ran || !withPrintf.ran || !withToChars.ran || withToChars.cpuSeconds <= 0) return;
  const double ratio = import.cpuSeconds / withToChars.cpuSeconds;
  std::printf("  CPU import / to_chars: %.2f (target at most %.1f): %s; import / printf: %.2f\n",
              ratio, kTargetPeerRatio, ratio <= kTargetPeerRatio ? "met" : "MISSED",
              import.cpuSeconds / withPrintf.cpuSeconds);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString records = argc > 1 ? QString::fromLatin1(argv[1]) : QStringLiteral("500000");
  QTemporaryDir folder;
  const QString database = QDir(folder.path()).filePath(QStringLiteral("DBFLW2.pdb"));
  std::string error;
  if (!norvale::testing::GenerateHandheldDatabase(QFile::encodeName(database).toStdString(),
                                                  {"--records", records.toStdString()}, error)) {
    std::fprintf(stderr, "handheld_bench: the database could not be generated: %s\n",
                 error.c_str());
    return 1;
  }
  const double beforeMegabytes = PeakResidentMegabytes();

  norvale::QtSerialPort port([](int) { return std::string(); });
  norvale::SystemClock clock;
  norvale::QtEventPump pump;
  norvale::Session session(folder.path(), port, clock, pump);
  norvale::MainWindow window(session);
  window.show();
  const norvale::WindowControls& c = window.controls();
  session.settings.DatabasePath = QFile::encodeName(database).toStdString();
  c.Check1->setCheckState(Qt::Checked);
  c.Option4[2]->setChecked(true);  // "Dont Separate": every meter's records

  QElapsedTimer timer;
  timer.start();
  c.Command2->click();
  const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
  const double peak = PeakResidentMegabytes();

  std::printf("handheld import of %s log records (%lld bytes): %d logged times, status \"%s\"\n",
              qPrintable(records), static_cast<long long>(QFileInfo(database).size()),
              session.records.LastRow - 1, qPrintable(c.Label4->text()));
  std::printf("  import and CSV write: %.3f s (target under %.1f s)\n", seconds, kTargetSeconds);
  std::printf("  peak resident memory: %.1f MB, %.1f MB before the window (target under %.0f MB)\n",
              peak, beforeMegabytes, kTargetMegabytes);
  std::fflush(stdout);

  CompareHeadlessImport(QFile::encodeName(database).toStdString(),
                        QFile::encodeName(folder.path()).toStdString());
  return 0;
}
