#include "chart/offscreen_application.h"

#include <QApplication>

namespace norvale {

std::unique_ptr<QCoreApplication> MakeOffscreenApplication(int& argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  return std::make_unique<QApplication>(argc, argv);
}

}  // namespace norvale
