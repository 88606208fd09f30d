// The Settings tab offscreen: what the chosen port opens, and the flow-control choice that the
// port never applies.
#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>
#include <filesystem>
#include <fstream>

#include "app/window_fixture.h"

namespace norvale::testing {
namespace {

using SettingsTab = WindowTest;

TEST_F(SettingsTab, BesideThePortChoiceShowsTheDeviceItOpensNow) {
  namespace fs = std::filesystem;
  const fs::path settingsFolder = QFile::encodeName(folder.path()).toStdString();
  QTemporaryDir devices;
  const fs::path adapter = fs::path(QFile::encodeName(devices.path()).toStdString()) / "ttyACM7";
  const fs::path unplugged = adapter.parent_path() / "ttyACM8";
  { std::ofstream(adapter.string()); }
  fs::create_symlink(adapter, settingsFolder / "com2");
  fs::create_symlink(unplugged, settingsFolder / "com3");
  { std::ofstream(settingsFolder / "com4") << "tcp://192.0.2.7:4001\n"; }
  start();
  auto* label = control<QLabel>(QStringLiteral("PortDevice"));
  ASSERT_NE(label, nullptr);

  c().Option2[1]->setChecked(true);
  EXPECT_EQ(label->text().toStdString(), "Opens " + adapter.string());
  c().Option2[2]->setChecked(true);
  EXPECT_EQ(label->text().toStdString(), "No device at " + (settingsFolder / "com3").string());
  // Plugged in meanwhile: showing the tab looks again.
  { std::ofstream(unplugged.string()); }
  for (int tab = 0; tab < c().SSTab1->count(); ++tab) {
    if (c().SSTab1->widget(tab)->isAncestorOf(label)) c().SSTab1->setCurrentIndex(tab);
  }
  EXPECT_EQ(label->text().toStdString(), "Opens " + unplugged.string());
  // A device server is only tried when connecting.
  c().Option2[3]->setChecked(true);
  EXPECT_EQ(label->text().toStdString(), "Opens tcp://192.0.2.7:4001");

  QAccessibleInterface* readOut = QAccessible::queryAccessibleInterface(label);
  ASSERT_NE(readOut, nullptr);
  EXPECT_EQ(readOut->text(QAccessible::Name), label->text());
  EXPECT_FALSE(readOut->text(QAccessible::Description).isEmpty());
}

// The port always runs without handshaking; the choice is still loaded and saved.
TEST_F(SettingsTab, FlowControlCannotBeChosenAndSaysWhyButIsStillKept) {
  writeSettings(DefaultWithLine(3, "[CommHandshaking]=none"));
  start();
  for (QRadioButton* option : c().Option3) {
    EXPECT_FALSE(option->isEnabled());
    EXPECT_TRUE(option->toolTip().contains(QLatin1String("without flow control")));
  }
  EXPECT_TRUE(c().Option3[0]->isChecked());
  window->close();
  EXPECT_NE(settingsBytes().find("[CommHandshaking]=none\r\n"), std::string::npos);
}

}  // namespace
}  // namespace norvale::testing
