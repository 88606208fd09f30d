#pragma once

#include <QCoreApplication>
#include <memory>

namespace norvale {

// The application object that drawing a chart needs (Qt Widgets), for a program that shows no
// window: on the offscreen platform, unless QT_QPA_PLATFORM names another, so it runs without a
// display.
std::unique_ptr<QCoreApplication> MakeOffscreenApplication(int& argc, char** argv);

}  // namespace norvale
