#include "app/download/download_tab_handlers.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "app/controls/three_state_check_box.h"
#include "app/window/port_users_lock.h"
#include "handheld/posix_handheld_file.h"
#include "link/line_tracer.h"
#include "records/download_result.h"
#include "text/byte_text.h"

namespace norvale {

DownloadTabHandlers::DownloadTabHandlers(WindowControls& controls, Session& session,
                                         QObject* parent)
    : QObject(parent),
      controls_(controls),
      session_(session),
      commands_(session.link, session.settings, session.records, *this, *this),
      moduleIds_(controls.SortList),
      handheld_(session.settings, *this, *this) {
  connect(controls_.Command2, &QPushButton::clicked, this, &DownloadTabHandlers::onCommand2Click);
  connect(controls_.Command7, &QPushButton::clicked, this, &DownloadTabHandlers::onCommand7Click);
  connect(controls_.Command6, &QPushButton::clicked, this, &DownloadTabHandlers::onCommand6Click);
  connect(controls_.Check1, &QCheckBox::stateChanged, this, &DownloadTabHandlers::onCheck1Click);
  connect(controls_.StopDownload, &QPushButton::clicked, this,
          &DownloadTabHandlers::onStopDownloadClick);
  for (int index : {0, 2}) {
    connect(controls_.Option4[index], &QRadioButton::toggled, this, [this, index](bool on) {
      if (on) onOption4Click(index);
    });
  }
}

template <class Work>
auto DownloadTabHandlers::runStoppable(Work work) {
  PortUsersLock busy(controls_, session_);
  controls_.StopDownload->setEnabled(true);
  auto outcome = work();
  controls_.StopDownload->setEnabled(false);
  return outcome;
}

template <class Download>
void DownloadTabHandlers::runMeterDownload(Download download) {
  LineTracer counter(session_.link.clock());
  session_.traces.setRunTrace(&counter);
  const DownloadOutcome outcome = runStoppable(download);
  session_.traces.setRunTrace(nullptr);
  const bool failed = !outcome.stopped && outcome.result != DownloadResult::kLogRead &&
                      outcome.result != DownloadResult::kNothingToRead &&
                      outcome.result != DownloadResult::kDatabaseMissing;
  controls_.Label4->setToolTip(failed ? FromByteText(counter.failureReason()) +
                                            QStringLiteral(". Line Trace... shows every frame.")
                                      : writtenFile_);
}

void DownloadTabHandlers::onCommand2Click() {
  if (session_.longOperationRunning) return;
  if (controls_.Check1->checkState() != Qt::Unchecked) {
    importDatabase();
    return;
  }
  runMeterDownload([this] { return commands_.DownloadData(); });
}

// Ends the wait under way at once; the work then stops at its next step.
void DownloadTabHandlers::onStopDownloadClick() {
  if (session_.longOperationRunning) session_.link.pump().requestCancel();
}

HandheldContext DownloadTabHandlers::handheldContext(HandheldFile& file) {
  return {file,       session_.settings.DatabasePath,
          moduleIds_, session_.records,
          *this,      session_.link.pump()};
}

void DownloadTabHandlers::importDatabase() {
  PosixHandheldFile file;
  const bool separate = controls_.Option4[0]->isChecked();
  runStoppable([&] { return handheld_.ImportData(handheldContext(file), separate); });
}

void DownloadTabHandlers::onCommand6Click() {
  if (session_.longOperationRunning || controls_.Check1->checkState() != Qt::Checked) return;
  PosixHandheldFile file;
  runStoppable([&] { return handheld_.GetIdList(handheldContext(file)); });
}

void DownloadTabHandlers::onOption4Click(int index) {
  controls_.Label9->setText(index == 0 ? QStringLiteral("Files separated by ModID")
                                       : QStringLiteral("Files not separated"));
}

void DownloadTabHandlers::onCommand7Click() {
  if (session_.longOperationRunning) return;
  runMeterDownload([this] { return commands_.SinceLastTime(); });
}

void DownloadTabHandlers::onCheck1Click(int state) {
  const WindowControls& c = controls_;
  if (state == Qt::PartiallyChecked) return;
  const bool palm = state == Qt::Checked;
  for (QWidget* control : {static_cast<QWidget*>(c.Label9), static_cast<QWidget*>(c.SortList),
                           static_cast<QWidget*>(c.Command6), static_cast<QWidget*>(c.PalmDatabase),
                           static_cast<QWidget*>(c.Text6), static_cast<QWidget*>(c.Command8),
                           static_cast<QWidget*>(c.Frame9)}) {
    control->setVisible(palm);
  }
  c.Command7->setVisible(!palm);
}

void DownloadTabHandlers::setStatusText(const std::string& text) {
  controls_.Label4->setText(FromByteText(text));
}

void DownloadTabHandlers::setProgress(int percent) { controls_.ProgressBar1->setValue(percent); }

void DownloadTabHandlers::setChannelBox(int index, const std::string& text) {
  if (index >= 0 && index < static_cast<int>(controls_.Text3.size())) {
    controls_.Text3[index]->setText(FromByteText(text));
  }
}

void DownloadTabHandlers::setWrittenFile(const std::string& path) {
  writtenFile_ = FromFileName(path);
  controls_.Label4->setToolTip(writtenFile_);
}

void DownloadTabHandlers::setDownloadDataEnabled(bool enabled) {
  controls_.Command2->setEnabled(enabled);
}

void DownloadTabHandlers::setSinceLastTimeEnabled(bool enabled) {
  controls_.Command7->setEnabled(enabled);
}

}  // namespace norvale
