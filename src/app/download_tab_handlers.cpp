#include "app/download_tab_handlers.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "app/byte_text.h"
#include "app/port_users_lock.h"
#include "app/three_state_check_box.h"
#include "handheld/posix_handheld_file.h"

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
  for (int index : {0, 2}) {
    connect(controls_.Option4[index], &QRadioButton::toggled, this, [this, index](bool on) {
      if (on) onOption4Click(index);
    });
  }
}

void DownloadTabHandlers::onCommand2Click() {
  if (session_.longOperationRunning) return;
  if (controls_.Check1->checkState() != Qt::Unchecked) {
    importDatabase();
    return;
  }
  PortUsersLock busy(controls_, session_);
  commands_.DownloadData();
}

HandheldContext DownloadTabHandlers::handheldContext(HandheldFile& file) {
  return {file,       session_.settings.DatabasePath,
          moduleIds_, session_.records,
          *this,      session_.link.pump()};
}

void DownloadTabHandlers::importDatabase() {
  PosixHandheldFile file;
  const bool separate = controls_.Option4[0]->isChecked();
  PortUsersLock busy(controls_, session_);
  handheld_.ImportData(handheldContext(file), separate);
}

void DownloadTabHandlers::onCommand6Click() {
  if (session_.longOperationRunning || controls_.Check1->checkState() != Qt::Checked) return;
  PosixHandheldFile file;
  PortUsersLock busy(controls_, session_);
  handheld_.GetIdList(handheldContext(file));
}

void DownloadTabHandlers::onOption4Click(int index) {
  controls_.Label9->setText(index == 0 ? QStringLiteral("Files separated by ModID")
                                       : QStringLiteral("Files not separated"));
}

void DownloadTabHandlers::onCommand7Click() {
  if (session_.longOperationRunning) return;
  PortUsersLock busy(controls_, session_);
  commands_.SinceLastTime();
}

void DownloadTabHandlers::onCheck1Click(int state) {
  const WindowControls& c = controls_;
  if (state == Qt::Checked) {
    c.Label9->show();
    c.SortList->show();
    c.Command6->show();
    c.Command7->hide();
  } else if (state == Qt::Unchecked) {
    c.Label9->hide();
    c.SortList->hide();
    c.Command6->hide();
    c.Command7->show();
  }
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
  controls_.Label4->setToolTip(FromFileName(path));
}

void DownloadTabHandlers::setDownloadDataEnabled(bool enabled) {
  controls_.Command2->setEnabled(enabled);
}

void DownloadTabHandlers::setSinceLastTimeEnabled(bool enabled) {
  controls_.Command7->setEnabled(enabled);
}

}  // namespace norvale
