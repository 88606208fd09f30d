#include "app/window/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>

#include "app/dialer/dialer_tab_handlers.h"
#include "app/display_meter/display_meter_handlers.h"
#include "app/display_meter/meter_type_arrangement.h"
#include "app/download/download_tab_handlers.h"
#include "app/settings/settings_procedures.h"
#include "app/settings/settings_tab_handlers.h"
#include "app/view/view_tab_handlers.h"
#include "app/window/line_trace_window.h"
#include "app/window/port_error_box.h"
#include "app/window/window_tabs.h"
#include "settings/settings_file.h"
#include "settings/settings_store.h"
#include "text/byte_text.h"

namespace norvale {
namespace {

constexpr int kDisplayMeterTab = 3;

// About 10950 x 8070 twips of client area.
constexpr int kClientWidth = 730;
constexpr int kClientHeight = 538;
// What a desktop's window frame and title bar take, at most, outside the window's own size.
constexpr int kFrameWidth = 16;
constexpr int kFrameHeight = 48;

QTimer* MakeTimer(QObject* parent, const char* name, int milliseconds) {
  auto* timer = new QTimer(parent);
  timer->setObjectName(QString::fromLatin1(name));
  timer->setInterval(milliseconds);
  return timer;
}

// A page fills its tab; on a screen too small for it (a large scale factor), it scrolls instead
// of making the window larger than the screen.
QScrollArea* Scrolled(QWidget* page) {
  auto* area = new QScrollArea;
  area->setFrameShape(QFrame::NoFrame);
  area->setWidgetResizable(true);
  area->setWidget(page);
  return area;
}

}  // namespace

QSize DefaultWindowSize(QSize smallest, QSize available) {
  auto fit = [](int least, int free, int frame) {
    const int most = std::max(free - frame, 1);
    return std::min(std::max(free * 3 / 4, least), most);
  };
  return {fit(smallest.width(), available.width(), kFrameWidth),
          fit(smallest.height(), available.height(), kFrameHeight)};
}

MainWindow::MainWindow(Session& session, QWidget* parent)
    : QMainWindow(parent),
      session_(session),
      chooseSaveFile_(DialogSaveFileChooser(this)),
      chooseOpenFile_(DialogOpenFileChooser(this)),
      endProgram_([] { QCoreApplication::exit(0); }) {
  setObjectName(QStringLiteral("DwnLoad1"));
  setWindowTitle(QStringLiteral("Norvale Download Revision 1.25"));

  WindowControls& c = controls_;
  c.SSTab1 = new QTabWidget;
  c.SSTab1->setObjectName(QStringLiteral("SSTab1"));
  c.SSTab1->setUsesScrollButtons(true);
  c.SSTab1->addTab(Scrolled(BuildDownloadTab(c)), QStringLiteral("Download"));
  c.SSTab1->addTab(Scrolled(BuildViewTab(c, session_.records)), QStringLiteral("View"));
  c.SSTab1->addTab(Scrolled(BuildSettingsTab(c)), QStringLiteral("Settings"));
  c.SSTab1->addTab(Scrolled(BuildDisplayMeterTab(c)), QStringLiteral("Display Meter "));
  c.SSTab1->addTab(Scrolled(BuildDialerTab(c)), QStringLiteral("Dialer"));
  c.SSTab1->addTab(Scrolled(BuildNorvaleTab(c)), QStringLiteral("Norvale"));
  c.SSTab1->setCurrentIndex(0);
  setCentralWidget(c.SSTab1);
  buildMenuAndTimers();
  const QSize smallest(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
  resize(screen() ? DefaultWindowSize(smallest, screen()->availableGeometry().size()) : smallest);

  session_.link.setPortErrorReporter(
      [this](const PortErrorMessage& message) { ShowPortErrorBox(this, message); });
  connectHandlers();
  downloadTab_ = new DownloadTabHandlers(controls_, session_, this);
  new DisplayMeterHandlers(controls_, session_, this);
  new DialerTabHandlers(controls_, session_, this);
  new SettingsTabHandlers(controls_, session_, this);
  new ViewTabHandlers(controls_, session_, chooseSaveFile_, this);
  load();
}

MainWindow::~MainWindow() { session_.link.setPortErrorReporter({}); }

void MainWindow::buildMenuAndTimers() {
  controls_.File_mnu = menuBar()->addAction(QStringLiteral("E&xit"));
  controls_.File_mnu->setObjectName(QStringLiteral("File_mnu"));
  controls_.LineTrace_mnu = menuBar()->addAction(QStringLiteral("Line &Trace..."));
  controls_.LineTrace_mnu->setObjectName(QStringLiteral("LineTrace_mnu"));
  controls_.Timer1 = MakeTimer(this, "Timer1", 750);
  controls_.Timer2 = MakeTimer(this, "Timer2", 1000);
  controls_.Timer3 = MakeTimer(this, "Timer3", 1000);
}

// Handlers follow the option buttons' selection, so an option selected by code runs its
// handler too, and selecting the selected option runs nothing.
void MainWindow::connectHandlers() {
  const WindowControls& c = controls_;
  for (int i = 0; i < static_cast<int>(c.Option1.size()); ++i) {
    connect(c.Option1[i], &QRadioButton::toggled, this, [this, i](bool on) {
      if (on) onOption1Click(i);
    });
  }
  for (int i = 0; i < static_cast<int>(c.Option2.size()); ++i) {
    connect(c.Option2[i], &QRadioButton::toggled, this, [this, i](bool on) {
      if (on) onOption2Click(i);
    });
  }
  for (int i = 0; i < static_cast<int>(c.Option5.size()); ++i) {
    connect(c.Option5[i], &QRadioButton::toggled, this, [this, i](bool on) {
      if (on) onOption5Click(i);
    });
    // A click on the option already selected applies it again (toggled does not fire then), so
    // the fourth type's polling can be restarted after leaving the page. Applying an arrangement
    // twice changes nothing more.
    connect(c.Option5[i], &QRadioButton::clicked, this, [this, i] { onOption5Click(i); });
  }
  connect(c.Text1, &QLineEdit::textChanged, this, &MainWindow::onText1Change);
  connect(c.Text2, &QLineEdit::textChanged, this, &MainWindow::onText2Change);
  connect(c.Check2, &QCheckBox::stateChanged, this, &MainWindow::onCheck2Click);
  connect(c.SSTab1, &QTabWidget::currentChanged, this, &MainWindow::onSSTab1Change);
  connect(c.Command3, &QPushButton::clicked, this, &MainWindow::onCommand3Click);
  connect(c.Command8, &QPushButton::clicked, this, &MainWindow::onCommand8Click);
  connect(c.File_mnu, &QAction::triggered, this, &MainWindow::onFileMnuClick);
  connect(c.LineTrace_mnu, &QAction::triggered, this, &MainWindow::onLineTraceMnuClick);
}

// The window's load step: the settings file is created when missing, then read.
void MainWindow::load() {
  if (!SettingsFileExists(session_.settingsFolder())) {
    WriteDefaultSettings(session_.settingsFolder());
  }
  LoadSettings(controls_, session_);
}

// Whatever waits on the meter ends with the window: the wait returns at once, the port closes.
void MainWindow::closeEvent(QCloseEvent* event) {
  if (!exiting_) SaveSettings(controls_, session_);
  session_.link.Shutdown();
  event->accept();
}

void MainWindow::onOption1Click(int index) {
  session_.settings.CommBaud = std::string(kBaudRates[index]);
}

void MainWindow::onOption2Click(int index) {
  session_.settings.CommPort = static_cast<int16_t>(index + 1);
}

void MainWindow::onOption5Click(int index) { ArrangeMeterType(controls_, index); }

// A number outside -32768..32767 cannot be held: the slave ID keeps its last value.
void MainWindow::onText1Change(const QString& text) {
  if (std::optional<int16_t> id = SlaveIdFromText(ToByteText(text))) {
    session_.settings.CommSlaveID = *id;
  }
}

void MainWindow::onText2Change(const QString& text) {
  session_.settings.LogFilePath = ToFileName(text);
}

void MainWindow::onCheck2Click(int state) {
  session_.settings.PortableMeter = state != Qt::Unchecked;
}

void MainWindow::onSSTab1Change(int index) {
  if (currentTab_ == kDisplayMeterTab) {
    controls_.Timer1->stop();
    controls_.Timer2->stop();
    controls_.Timer3->stop();
  }
  currentTab_ = index;
}

// The box shows the bare name; the writer gets the full path.
void MainWindow::onCommand3Click() {
  std::optional<QString> chosen = chooseSaveFile_(
      {QStringLiteral("Data Filename Selection"), QStringLiteral("*.csv"),
       QStringLiteral("Logdata.csv"), FromFileName(session_.settings.LogFileFolder)});
  if (!chosen || chosen->isEmpty()) return;
  controls_.Text2->setText(QFileInfo(*chosen).fileName());
  session_.settings.LogFilePath = ToFileName(*chosen);
}

// "Browse for Palm Database": the box shows the full path, the import reads it.
void MainWindow::onCommand8Click() {
  std::optional<QString> chosen =
      chooseOpenFile_({QStringLiteral("Palm Database Selection"), QStringLiteral("*.pdb"),
                       QStringLiteral("DBFLW2.PDB"), QString()});
  if (!chosen || chosen->isEmpty()) return;
  controls_.Text6->setText(*chosen);
  session_.settings.DatabasePath = ToFileName(*chosen);
}

// Saves once and ends the program; the unload step does not save again.
void MainWindow::onLineTraceMnuClick() {
  if (!lineTrace_) {
    lineTrace_ = new LineTraceWindow(session_.link, session_.traces, chooseSaveFile_, this);
  }
  lineTrace_->show();
  lineTrace_->raise();
  lineTrace_->activateWindow();
}

void MainWindow::onFileMnuClick() {
  SaveSettings(controls_, session_);
  exiting_ = true;
  // A download waiting on the meter returns at once and writes no file; the event loop then
  // ends as soon as the handler that waited has returned.
  session_.link.Shutdown();
  hide();
  endProgram_();
}

}  // namespace norvale
