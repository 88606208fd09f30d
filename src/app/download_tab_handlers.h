#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <vector>

#include "app/combo_module_id_box.h"
#include "app/session.h"
#include "app/window_controls.h"
#include "download/download_buttons.h"
#include "download/download_commands.h"
#include "download/download_view.h"
#include "handheld/handheld_commands.h"

namespace norvale {

// The Download tab's buttons: "Download Data" (from the meter, or from the handheld database while
// "Use Palm DataBase" is ticked), "Since Last Time", "Get ID List...", "Use Palm DataBase" and the
// separation options. A download, import or ID scan yields to the event loop while it works, so
// every other action that uses the serial port or the record table is disabled until it ends.
class DownloadTabHandlers : public QObject, public DownloadView, public DownloadButtons {
  Q_OBJECT

 public:
  DownloadTabHandlers(WindowControls& controls, Session& session, QObject* parent = nullptr);

  void onCommand2Click();
  void onCommand7Click();
  void onCommand6Click();
  void onCheck1Click(int state);
  void onOption4Click(int index);

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

  WindowControls& controls_;
  Session& session_;
  DownloadCommands commands_;
  ComboModuleIdBox moduleIds_;
  HandheldCommands handheld_;
};

}  // namespace norvale
