#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "app/window/main_window.h"
#include "app/window/session.h"
#include "settings/settings_file.h"
#include "settings/settings_store.h"
#include "support/fake_clock.h"
#include "support/fake_serial_port.h"

namespace norvale::testing {

// A window over a fake port, clock and pump, its settings folder a fresh temporary folder.
class WindowTest : public ::testing::Test {
 public:
  ~WindowTest() override {
    window.reset();
    session.reset();
    QDir::setCurrent(startFolder_);
  }

  void makeSession() { session = std::make_unique<Session>(folder.path(), port, clock, pump); }
  // Builds the window, which creates (if missing) and loads the settings file.
  MainWindow& start() {
    window.reset();
    if (!session) makeSession();
    window = std::make_unique<MainWindow>(*session);
    return *window;
  }
  // Ends the program without its unload step.
  void stop() {
    window.reset();
    session.reset();
  }
  // Closes the window (its unload step saves) and starts a new program on the same folder.
  MainWindow& restart() {
    window->close();
    stop();
    return start();
  }

  std::string settingsBytes() const {
    QFile file(SettingsFilePath(folder.path()));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
  }
  void writeSettings(const std::string& bytes) {
    ASSERT_TRUE(ReplaceSettingsFile(folder.path(), bytes));
  }

  template <class T>
  T* control(const QString& name) const {
    T* found = window->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
  }
  const WindowControls& c() const { return window->controls(); }
  SettingsRecord& settings() { return session->settings; }

  QTemporaryDir folder;
  FakeSerialPort port;
  FakeClock clock;
  FakeEventPump pump{clock};
  std::unique_ptr<Session> session;
  std::unique_ptr<MainWindow> window;

 private:
  QString startFolder_ = QDir::currentPath();
};

// The factory file with line `number` (1-based) replaced by `text`.
inline std::string DefaultWithLine(int number, const std::string& text) {
  std::vector<std::string> lines = SplitSettingsLines(DefaultSettingsFile());
  lines.at(number - 1) = text;
  std::string file;
  for (const std::string& line : lines) file += line + "\r\n";
  return file;
}

// The first `count` lines of the factory file.
inline std::string DefaultCutAfter(int count) {
  std::vector<std::string> lines = SplitSettingsLines(DefaultSettingsFile());
  std::string file;
  for (int i = 0; i < count; ++i) file += lines.at(i) + "\r\n";
  return file;
}

}  // namespace norvale::testing
