#include "app/download_tab_handlers.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "app/byte_text.h"
#include "app/three_state_check_box.h"
#include "handheld/posix_handheld_file.h"

namespace norvale {

class DownloadTabHandlers::Busy {
 public:
  explicit Busy(DownloadTabHandlers& owner) : owner_(owner) {
    owner_.running_ = true;
    owner_.session_.longOperationRunning = true;
    for (const QPointer<QWidget>& widget : owner_.otherPortUsers()) {
      if (widget && widget->isEnabled()) {
        widget->setEnabled(false);
        disabled_.push_back(widget);
      }
    }
  }
  ~Busy() {
    for (const QPointer<QWidget>& widget : disabled_) {
      if (widget) widget->setEnabled(true);
    }
    owner_.running_ = false;
    owner_.session_.longOperationRunning = false;
  }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  DownloadTabHandlers& owner_;
  std::vector<QPointer<QWidget>> disabled_;
};

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

std::vector<QPointer<QWidget>> DownloadTabHandlers::otherPortUsers() const {
  const WindowControls& c = controls_;
  // The download buttons themselves are handled by the download; Option5(3) starts polling.
  std::vector<QPointer<QWidget>> widgets{c.Command6,   c.Command9, c.Command4, c.Command5,
                                         c.Option5[3], c.Command2, c.Command7};
  for (QPushButton* key : c.Command1) widgets.emplace_back(key);
  return widgets;
}

void DownloadTabHandlers::onCommand2Click() {
  if (running_) return;
  if (controls_.Check1->checkState() != Qt::Unchecked) {
    importDatabase();
    return;
  }
  Busy busy(*this);
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
  Busy busy(*this);
  handheld_.ImportData(handheldContext(file), separate);
}

void DownloadTabHandlers::onCommand6Click() {
  if (running_ || controls_.Check1->checkState() != Qt::Checked) return;
  PosixHandheldFile file;
  Busy busy(*this);
  handheld_.GetIdList(handheldContext(file));
}

void DownloadTabHandlers::onOption4Click(int index) {
  controls_.Label9->setText(index == 0 ? QStringLiteral("Files separated by ModID")
                                       : QStringLiteral("Files not separated"));
}

void DownloadTabHandlers::onCommand7Click() {
  if (running_) return;
  Busy busy(*this);
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

void DownloadTabHandlers::setDownloadDataEnabled(bool enabled) {
  controls_.Command2->setEnabled(enabled);
}

void DownloadTabHandlers::setSinceLastTimeEnabled(bool enabled) {
  controls_.Command7->setEnabled(enabled);
}

}  // namespace norvale
