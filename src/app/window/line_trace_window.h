#pragma once

#include <QWidget>
#include <memory>

#include "app/controls/save_file_chooser.h"
#include "app/window/link_trace_relay.h"
#include "link/line_tracer.h"
#include "link/meter_link.h"

class QLabel;
class QPlainTextEdit;

namespace norvale {

// "Line Trace": every frame the link sends or takes apart, as it happens, for finding a swapped
// wire or a wrong slave ID. Not modal. The link reports to it only while it is shown, so a
// closed trace costs nothing.
class LineTraceWindow : public QWidget {
  Q_OBJECT

 public:
  // `chooseFile` is the main window's save dialog, looked up at each "Save".
  LineTraceWindow(MeterLink& link, LinkTraceRelay& traces, const SaveFileChooser& chooseFile,
                  QWidget* parent);
  ~LineTraceWindow() override;

 protected:
  void showEvent(QShowEvent* event) override;
  // Minimised it goes on tracing; closed it stops.
  void closeEvent(QCloseEvent* event) override;

 private:
  void append(const std::string& line);
  void save();
  void clear();

  MeterLink& link_;
  LinkTraceRelay& traces_;
  const SaveFileChooser& chooseFile_;
  std::unique_ptr<LineTracer> tracer_;
  QPlainTextEdit* text_;
  QLabel* summary_;
};

}  // namespace norvale
