#pragma once

#include <QObject>
#include <QTimer>

#include "app/controls/save_file_chooser.h"
#include "app/window/session.h"
#include "app/window/window_controls.h"

namespace norvale {

// The View tab's chart: rebuilt from the record table whenever the grid's model reports a
// change, but never while repainting is off (a download reports its rows once, when it switches
// it back on); the pointer's readout, "Whole Log" and "Save Image...".
class ViewTabHandlers : public QObject {
  Q_OBJECT

 public:
  // `chooser` is the window's save dialog; it is read at each click, so a replaced one counts.
  ViewTabHandlers(WindowControls& controls, Session& session, const SaveFileChooser& chooser,
                  QObject* parent = nullptr);

  void onSaveChartImageClick();
  void onResetChartZoomClick();

 private:
  void rebuildChart();
  void showReadout(double time);
  void showHint();

  WindowControls& controls_;
  Session& session_;
  const SaveFileChooser& chooseSaveFile_;
  // Changes reported together (a title row cell by cell) make one rebuild.
  QTimer rebuild_;
};

}  // namespace norvale
