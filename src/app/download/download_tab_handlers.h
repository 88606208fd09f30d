#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <vector>

#include "app/controls/combo_module_id_box.h"
#include "app/window/session.h"
#include "app/window/window_controls.h"
#include "download/download_buttons.h"
#include "download/download_commands.h"
#include "download/download_view.h"
#include "handheld/handheld_commands.h"

namespace norvale {

// The Download tab's buttons: "Download Data" (from the meter, or from the handheld database while
// "Use Palm DataBase" is ticked), "Since Last Time", "Get ID List...", "Use Palm DataBase" and the
// separation options. A download, import or ID scan yields to the event loop while it works, so
// every other action that uses the serial port or the record table is disabled until it ends;
// "Stop" is enabled meanwhile and ends it. After "Error in Downloading!!" from the meter, the
// status line's tooltip says why.
class DownloadTabHandlers : public QObject, public DownloadView, public DownloadButtons {
  Q_OBJECT

 public:
  DownloadTabHandlers(WindowControls& controls, Session& session, QObject* parent = nullptr);

  void onCommand2Click();
  void onCommand7Click();
  void onCommand6Click();
  void onCheck1Click(int state);
  void onOption4Click(int index);
  void onStopDownloadClick();

  // DownloadView and DownloadButtons, on the tab's controls.
  void setStatusText(const std::string& text) override;
  void setProgress(int percent) override;
  void setChannelBox(int index, const std::string& text) override;
  void setWrittenFile(const std::string& path) override;
  void setDownloadDataEnabled(bool enabled) override;
  void setSinceLastTimeEnabled(bool enabled) override;

 private:
  void importDatabase();
  HandheldContext handheldContext(HandheldFile& file);
  // Runs a download, import or ID scan with the rest of the window locked and "Stop" enabled.
  template <class Work>
  auto runStoppable(Work work);
  // A download from the meter, counting what went wrong on the line for the tooltip.
  template <class Download>
  void runMeterDownload(Download download);

  WindowControls& controls_;
  Session& session_;
  DownloadCommands commands_;
  ComboModuleIdBox moduleIds_;
  HandheldCommands handheld_;
  QString writtenFile_;  // the tooltip after a success
};

}  // namespace norvale
