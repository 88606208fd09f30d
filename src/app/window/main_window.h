#pragma once

#include <QMainWindow>
#include <functional>
#include <utility>

#include "app/controls/save_file_chooser.h"
#include "app/window/session.h"
#include "app/window/window_controls.h"

class QCloseEvent;

namespace norvale {
class DownloadTabHandlers;
class LineTraceWindow;
}  // namespace norvale

namespace norvale {

// The window's first size: three quarters of the screen's free area, at least `smallest` (the
// size the controls were laid out for), but never more than that area leaves once the window's
// frame is added.
QSize DefaultWindowSize(QSize smallest, QSize available);

// The program's one window, DwnLoad1: six tabs of controls over the session. Building it runs
// the start-up of the settings file; closing it saves them.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(Session& session, QWidget* parent = nullptr);
  ~MainWindow() override;

  Session& session() { return session_; }
  const WindowControls& controls() const { return controls_; }

  // Replaces the save dialog that "Change Filename" shows (tests answer it themselves).
  void setSaveFileChooser(SaveFileChooser chooser) { chooseSaveFile_ = std::move(chooser); }
  const SaveFileChooser& saveFileChooser() const { return chooseSaveFile_; }
  // Replaces the open dialog that "Browse for Palm Database" shows.
  void setOpenFileChooser(OpenFileChooser chooser) { chooseOpenFile_ = std::move(chooser); }
  // Replaces how "E&xit" ends the program (ends the event loop by default).
  void setProgramEnd(std::function<void()> endProgram) { endProgram_ = std::move(endProgram); }

 protected:
  // The unload step: saves the settings, unless "E&xit" has saved them already.
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenuAndTimers();
  void connectHandlers();
  void load();

  void onOption1Click(int index);
  void onOption2Click(int index);
  void onOption5Click(int index);
  void onText1Change(const QString& text);
  void onText2Change(const QString& text);
  void onCheck2Click(int state);
  void onSSTab1Change(int index);
  void onCommand3Click();
  void onCommand8Click();
  void onFileMnuClick();
  void onLineTraceMnuClick();

  Session& session_;
  WindowControls controls_;
  SaveFileChooser chooseSaveFile_;
  OpenFileChooser chooseOpenFile_;
  std::function<void()> endProgram_;
  int currentTab_ = 0;
  bool exiting_ = false;
  DownloadTabHandlers* downloadTab_ = nullptr;  // owned as a child
  LineTraceWindow* lineTrace_ = nullptr;        // made when first asked for; a child
};

}  // namespace norvale
