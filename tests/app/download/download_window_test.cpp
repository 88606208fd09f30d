// The Download tab's buttons driven offscreen, against the meter simulator on a real pty.
#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/controls/three_state_check_box.h"
#include "app/display_meter/display_meter_handlers.h"
#include "app/view/record_grid.h"
#include "app/window/main_window.h"
#include "app/window/session.h"
#include "app/window_fixture.h"
#include "link/crc16.h"
#include "link/qt_event_pump.h"
#include "link/qt_serial_port.h"
#include "link/system_clock.h"
#include "support/simulator_process.h"

namespace norvale {
namespace {

using testing::ScenarioFile;
using testing::SimulatorProcess;

constexpr const char* kScenario = R"({"channels": ["Flow", "Not Used", "Fwd Tot"],
  "log": {"generator": {"channels": [1, 3], "start": "2021-03-04T00:15", "interval_minutes": 15,
          "count": 100, "values": {"1": 2.5, "3": "1000 + i"}}},
  "last_download": [8, 129, 0], "status": {"records_used": 168}})";

class DownloadWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.started()) << sim_.error();
    session_ = std::make_unique<Session>(folder_.path(), port_, clock_, pump_);
    window_ = std::make_unique<MainWindow>(*session_);
  }
  void TearDown() override {
    window_.reset();
    session_.reset();
    QDir::setCurrent(startFolder_);
  }

  template <class T>
  T* control(const char* name) {
    T* found = window_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  QByteArray csvBytes() {
    QFile file(QDir(folder_.path()).filePath("Logdata.csv"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  QString startFolder_ = QDir::currentPath();
  ScenarioFile scenario_{kScenario};
  SimulatorProcess sim_{scenario_.path()};
  QTemporaryDir folder_;
  QtSerialPort port_{[this](int) { return sim_.devicePath(); }};
  SystemClock clock_;
  QtEventPump pump_;
  std::unique_ptr<Session> session_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(DownloadWindow, DownloadDataFillsTheViewAndWritesTheFileBesideTheSettings) {
  auto* download = control<QPushButton>("Command2");
  auto* keypadKey = control<QPushButton>("Command1_14");
  auto* begin = control<QPushButton>("Command9");
  bool sawBusyWindow = false;
  // Runs while the download yields to the event loop.
  QTimer::singleShot(0, [&] {
    sawBusyWindow = !download->isEnabled() && !keypadKey->isEnabled() && !begin->isEnabled();
  });
  download->click();

  EXPECT_TRUE(sawBusyWindow);
  EXPECT_TRUE(download->isEnabled());
  EXPECT_TRUE(keypadKey->isEnabled());
  EXPECT_TRUE(begin->isEnabled());
  EXPECT_EQ(control<QLabel>("Label4")->text(), "Finished. Data in File");
  EXPECT_EQ(control<QProgressBar>("ProgressBar1")->value(), 100);
  EXPECT_EQ(control<QLineEdit>("Text3_0")->text(), "Flow");
  EXPECT_EQ(control<QLineEdit>("Text3_1")->text(), "");
  EXPECT_EQ(control<QLineEdit>("Text3_2")->text(), "Fwd Tot");
  EXPECT_EQ(control<QLineEdit>("Text3_9")->text(), " 168");

  const RecordTable& records = session_->records;
  EXPECT_EQ(records.LastRow, 101);
  EXPECT_EQ(records.cell(1, 2), "Flow");
  EXPECT_EQ(records.cell(2, 4), " 1000");
  auto* grid = control<RecordGrid>("MSHFlexGrid1");
  QAbstractItemModel* model = grid->model();
  EXPECT_EQ(model->headerData(3, Qt::Horizontal).toString(), "Fwd Tot")
      << "the grid's header shows the table's titles";
  EXPECT_EQ(model->index(0, 0).data().toString(), "3/4/2021 12:15:00 AM");

  QByteArray csv = csvBytes();
  EXPECT_TRUE(csv.startsWith(
      "Date / Time,Flow,Fwd Tot\r\n3/4/2021 12:15:00 AM, 2.50000014901162, 1000\r\n"))
      << csv.left(120).toStdString();
  EXPECT_EQ(csv.count('\n'), 101);
  EXPECT_EQ(control<QLabel>("Label4")->toolTip(),
            QDir(folder_.path()).absoluteFilePath("Logdata.csv"));
}

// Installed, the settings folder is hidden: the bare name goes to the documents folder.
TEST_F(DownloadWindow, ABareFileNameLandsInTheOutputFolderWhenOneIsSet) {
  QTemporaryDir documents;
  session_->settings.LogFileFolder = QFile::encodeName(documents.path()).toStdString();
  control<QPushButton>("Command2")->click();
  EXPECT_EQ(control<QLabel>("Label4")->text(), "Finished. Data in File");
  const QString written = QDir(documents.path()).absoluteFilePath("Logdata.csv");
  EXPECT_TRUE(QFileInfo(written).isFile());
  EXPECT_TRUE(csvBytes().isEmpty()) << "nothing beside the settings";
  EXPECT_EQ(control<QLabel>("Label4")->toolTip(), written);
  EXPECT_EQ(session_->settings.LogFilePath, "Logdata.csv") << "the stored name stays bare";
}

TEST_F(DownloadWindow, LineTraceShowsTheFramesWhileOpenAndSavesThem) {
  window_->findChild<QAction*>("LineTrace_mnu")->trigger();
  auto* trace = window_->findChild<QWidget*>("LineTraceWindow");
  ASSERT_NE(trace, nullptr);
  EXPECT_TRUE(trace->isVisible());
  EXPECT_FALSE(trace->isModal());
  control<QPushButton>("Command2")->click();
  auto* text = trace->findChild<QPlainTextEdit*>("TraceText");
  const QString lines = text->toPlainText();
  EXPECT_TRUE(lines.contains("  request\n")) << lines.left(300).toStdString();
  EXPECT_TRUE(lines.contains("  reply complete\n"));
  EXPECT_TRUE(trace->findChild<QLabel*>("TraceSummary")->text().startsWith("requests "));

  const QString saved = QDir(folder_.path()).filePath("trace.txt");
  window_->setSaveFileChooser([&](const SaveFileRequest&) { return saved; });
  trace->findChild<QPushButton*>("TraceSave")->click();
  QFile file(saved);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  // Ends with the same summary line as norvale-cli's trace file.
  const QString summary = trace->findChild<QLabel*>("TraceSummary")->text();
  EXPECT_EQ(QString::fromLatin1(file.readAll()),
            text->toPlainText() + "\nSummary: " + summary + "\n");
  EXPECT_TRUE(summary.contains(QRegularExpression("^requests [1-9]")));

  trace->findChild<QPushButton*>("TraceClear")->click();
  EXPECT_TRUE(text->toPlainText().isEmpty());
  // Closed, it hears nothing more.
  trace->close();
  control<QPushButton>("Command2")->click();
  EXPECT_EQ(control<QLabel>("Label4")->text(), "Finished. Data in File");
  EXPECT_TRUE(text->toPlainText().isEmpty());
}

TEST_F(DownloadWindow, SinceLastTimeAppearsWithTheMeterOptionAndReadsOnlyTheNewRecords) {
  auto* sinceLast = control<QPushButton>("Command7");
  auto* palm = control<ThreeStateCheckBox>("Check1");
  EXPECT_TRUE(sinceLast->isHidden());
  palm->setCheckState(Qt::Checked);
  EXPECT_TRUE(sinceLast->isHidden());
  EXPECT_FALSE(control<QPushButton>("Command6")->isHidden());
  palm->setCheckState(Qt::Unchecked);
  ASSERT_FALSE(sinceLast->isHidden());

  sinceLast->click();
  EXPECT_EQ(control<QLabel>("Label4")->text(), "Finished. Data in File");
  EXPECT_TRUE(sinceLast->isEnabled());
  EXPECT_TRUE(control<QPushButton>("Command2")->isEnabled());
  // From 8 bytes after 08 81 00 to the end: 200 records less 33.
  EXPECT_EQ(session_->records.LastRow, 1 + (200 - 33) / 2 + 1);
  int blockReads = 0;
  for (const auto& request : sim_.requestLog()) {
    if (request.function == 96 && request.bank == 8) {
      ++blockReads;
      if (blockReads == 1) {
        EXPECT_EQ(request.addrLo, 8);
      }
    }
  }
  EXPECT_EQ(blockReads, 7);
}

// The window over a simulator that leaves the given functions unanswered, with its own settings
// folder; the current folder is restored afterwards.
struct SilentMeterWindow {
  explicit SilentMeterWindow(std::vector<std::string> silence) : sim(scenario.path(), silence) {}
  ~SilentMeterWindow() { QDir::setCurrent(startFolder); }
  double secondsFor(const std::function<void()>& action) {
    auto begin = std::chrono::steady_clock::now();
    action();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  }

  const QString startFolder = QDir::currentPath();
  ScenarioFile scenario{kScenario};
  SimulatorProcess sim;
  QTemporaryDir folder;
  QtSerialPort port{[this](int) { return sim.devicePath(); }};
  SystemClock clock;
  QtEventPump pump;
  Session session{folder.path(), port, clock, pump};
  MainWindow window{session};
};

// "E&xit", or closing the window, while the download waits on a meter that does not answer (the
// status read alone would wait 30 s): the wait ends at once, the port closes, no file is written.
TEST(DownloadWindowEnd, ExitAndCloseEndADownloadThatWaitsAtOnce) {
  for (bool viaMenu : {true, false}) {
    SCOPED_TRACE(viaMenu ? "E&xit" : "close");
    SilentMeterWindow w({"--silent", "3"});
    ASSERT_TRUE(w.sim.started()) << w.sim.error();
    w.window.show();
    bool ended = false;
    w.window.setProgramEnd([&] { ended = true; });
    QTimer::singleShot(300, &w.window, [&] {
      if (viaMenu) {
        w.window.controls().File_mnu->trigger();
      } else {
        w.window.close();
      }
    });
    EXPECT_LT(w.secondsFor([&] { w.window.controls().Command2->click(); }), 2.0);
    EXPECT_EQ(ended, viaMenu);
    EXPECT_FALSE(w.window.isVisible());
    EXPECT_FALSE(w.port.portOpen());
    EXPECT_FALSE(QFile::exists(QDir(w.folder.path()).filePath("Logdata.csv")));
    EXPECT_TRUE(QFile::exists(QDir(w.folder.path()).filePath("KX40dwn.ini")));
  }
}

// "Stop" while the status read waits on a meter that leaves its first three copies unanswered
// (a resend goes out every second): the wait ends at once, the old file stays as it was, and the
// next download works.
TEST(DownloadWindowStop, StopEndsTheWaitAtOnceKeepsTheOldFileAndTheNextDownloadWorks) {
  SilentMeterWindow w({"--fault", "silent,function=3,first=3"});
  ASSERT_TRUE(w.sim.started()) << w.sim.error();
  const QString csv = QDir(w.folder.path()).filePath("Logdata.csv");
  QFile old(csv);
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write("old\r\n");
  old.close();
  QPushButton* stop = w.window.findChild<QPushButton*>("StopDownload");
  ASSERT_NE(stop, nullptr);
  EXPECT_FALSE(stop->isEnabled());
  w.window.show();
  bool stopOffered = false;
  QTimer::singleShot(300, &w.window, [&] {
    stopOffered = stop->isEnabled();
    stop->click();
  });
  EXPECT_LT(w.secondsFor([&] { w.window.controls().Command2->click(); }), 1.5);
  EXPECT_TRUE(stopOffered);
  EXPECT_EQ(w.window.controls().Label4->text(), "Download stopped");
  EXPECT_FALSE(stop->isEnabled());
  EXPECT_TRUE(w.window.controls().Command2->isEnabled());
  ASSERT_TRUE(old.open(QIODevice::ReadOnly));
  EXPECT_EQ(old.readAll(), "old\r\n");
  old.close();

  w.window.controls().Command2->click();
  EXPECT_EQ(w.window.controls().Label4->text(), "Finished. Data in File");
  ASSERT_TRUE(old.open(QIODevice::ReadOnly));
  EXPECT_TRUE(old.readAll().startsWith("Date / Time,Flow,Fwd Tot\r\n"));
}

using DownloadFailureTip = testing::WindowTest;

// After "Error in Downloading!!" the status line's tooltip says in one line what went wrong on
// the line, and where to look further. The status read (01 03 00 4C 00 08) is the first request.
TEST_F(DownloadFailureTip, SaysWhichRequestWentUnansweredAndCountsDamagedAndRefusedReplies) {
  const std::string statusReply = WithCrc(std::string("\x01\x03\x10", 3) + std::string(16, '\0'));
  std::string damaged = statusReply;
  damaged.back() = static_cast<char>(damaged.back() ^ 0x55);
  const struct {
    const char* meter;
    std::string reply;
    const char* tip;
  } cases[] = {
      {"silent", "",
       R"(^No reply to 01 03 00 4C 00 08 [0-9A-F]{2} [0-9A-F]{2} \(slave 1, function 3\); )"
       R"(CRC failures 0, exceptions 0\. Line Trace\.\.\. shows every frame\.$)"},
      {"damaged replies", damaged, R"(; CRC failures [1-9][0-9]*, exceptions 0\. Line Trace)"},
      {"exception replies", WithCrc(std::string("\x01\x83\x02", 3)),
       R"(^No reply to 01 03 00 4C .*; CRC failures 0, exceptions [1-9][0-9]*\. Line Trace)"},
  };
  start();
  for (const auto& meter : cases) {
    SCOPED_TRACE(meter.meter);
    port.onOutput = [&](const std::string&) { port.receive(meter.reply); };
    c().Command2->click();
    EXPECT_EQ(c().Label4->text(), "Error in Downloading!!");
    EXPECT_TRUE(c().Label4->toolTip().contains(QRegularExpression(meter.tip)))
        << c().Label4->toolTip().toStdString();
  }
}

// "E&xit" while the keypad cycle waits on a meter that answers nothing (four display reads of
// 30 s each): the tick returns at once.
TEST(DownloadWindowEnd, ExitEndsAKeypadCycleThatWaitsAtOnce) {
  SilentMeterWindow w({"--silent", "3", "--silent", "16"});
  ASSERT_TRUE(w.sim.started()) << w.sim.error();
  w.window.setProgramEnd([] {});
  auto* page = w.window.findChild<DisplayMeterHandlers*>();
  ASSERT_NE(page, nullptr);
  w.window.controls().Command1[14]->click();
  QTimer::singleShot(300, &w.window, [&] { w.window.controls().File_mnu->trigger(); });
  EXPECT_LT(w.secondsFor([&] { page->onTimer1Tick(); }), 2.0);
  EXPECT_FALSE(w.port.portOpen());
}

}  // namespace
}  // namespace norvale
