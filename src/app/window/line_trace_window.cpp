#include "app/window/line_trace_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

#include "text/byte_text.h"

namespace norvale {
namespace {

// A day of polling stays within bounds; the oldest lines go first.
constexpr int kKeptLines = 50000;

}  // namespace

LineTraceWindow::LineTraceWindow(MeterLink& link, LinkTraceRelay& traces,
                                 const SaveFileChooser& chooseFile, QWidget* parent)
    : QWidget(parent, Qt::Window), link_(link), traces_(traces), chooseFile_(chooseFile) {
  setObjectName(QStringLiteral("LineTraceWindow"));
  setWindowTitle(QStringLiteral("Line Trace"));
  text_ = new QPlainTextEdit;
  text_->setObjectName(QStringLiteral("TraceText"));
  text_->setAccessibleName(QStringLiteral("Frames on the line"));
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setMaximumBlockCount(kKeptLines);
  text_->setFont(QFont(QStringLiteral("monospace")));
  summary_ = new QLabel;
  summary_->setObjectName(QStringLiteral("TraceSummary"));
  summary_->setAccessibleDescription(QStringLiteral("Line trace counts"));
  auto* save = new QPushButton(QStringLiteral("Save"));
  save->setObjectName(QStringLiteral("TraceSave"));
  auto* clearButton = new QPushButton(QStringLiteral("Clear"));
  clearButton->setObjectName(QStringLiteral("TraceClear"));
  connect(save, &QPushButton::clicked, this, &LineTraceWindow::save);
  connect(clearButton, &QPushButton::clicked, this, &LineTraceWindow::clear);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(summary_, 1);
  buttons->addWidget(save);
  buttons->addWidget(clearButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addLayout(buttons);
  resize(900, 400);
  clear();
}

LineTraceWindow::~LineTraceWindow() { traces_.setWindowTrace(nullptr); }

void LineTraceWindow::showEvent(QShowEvent* event) {
  traces_.setWindowTrace(tracer_.get());
  QWidget::showEvent(event);
}

void LineTraceWindow::closeEvent(QCloseEvent* event) {
  tracer_->flush();
  traces_.setWindowTrace(nullptr);
  QWidget::closeEvent(event);
}

void LineTraceWindow::append(const std::string& line) {
  text_->appendPlainText(QString::fromLatin1(line));
  summary_->setText(QString::fromLatin1(tracer_->summary()));
}

void LineTraceWindow::clear() {
  tracer_ = std::make_unique<LineTracer>(link_.clock(),
                                         [this](const std::string& line) { append(line); });
  if (isVisible()) traces_.setWindowTrace(tracer_.get());
  text_->clear();
  summary_->setText(QString::fromLatin1(tracer_->summary()));
}

void LineTraceWindow::save() {
  tracer_->flush();
  std::optional<QString> chosen =
      chooseFile_({QStringLiteral("Save Line Trace"), QStringLiteral("*.txt"),
                   QStringLiteral("LineTrace.txt"), FromFileName(link_.settings().LogFileFolder)});
  if (!chosen || chosen->isEmpty()) return;
  QSaveFile file(*chosen);
  // Ends as norvale-cli's trace file does, with the counts.
  const QByteArray text = text_->toPlainText().toLatin1() + '\n' +
                          QByteArray::fromStdString(tracer_->summaryLine()) + '\n';
  if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
    summary_->setText(QStringLiteral("Could not save: ") + file.errorString());
  }
}

}  // namespace norvale
