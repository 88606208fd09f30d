#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <QWindow>

namespace norvale::bench {

// Shows the window and runs the event loop until the window system has exposed it (at most 5 s),
// so that what is measured next starts from a window on screen.
inline void ShowAndWaitUntilExposed(QWidget& window) {
  window.show();
  QElapsedTimer waited;
  waited.start();
  while (!(window.windowHandle() && window.windowHandle()->isExposed()) &&
         waited.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  QCoreApplication::processEvents();
}

}  // namespace norvale::bench
