// The "Display Meter " page offscreen: which timer "Begin", the meter types and the tabs start and
// stop, the keypad through the window, and ticks that must leave the port alone.
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

#include "app/display_meter/display_meter_handlers.h"
#include "app/window_fixture.h"
#include "link/crc16.h"

namespace norvale::testing {
namespace {

using DisplayMeterWindow = WindowTest;

TEST_F(DisplayMeterWindow, BeginAndTheMeterTypesStartAndStopTheRightTimer) {
  start();
  c().SSTab1->setCurrentIndex(3);
  c().Text4[0]->setText("stale");
  session->link.state().CommErrorShown = 1;
  c().Command9->click();  // "KX40 Series"
  EXPECT_TRUE(c().Timer1->isActive());
  EXPECT_FALSE(c().Timer2->isActive());
  EXPECT_EQ(c().Text4[0]->text(), "");
  EXPECT_EQ(session->link.state().CommErrorShown, 0);

  c().Option5[2]->click();  // "KX60 "
  EXPECT_FALSE(c().Timer1->isActive());
  c().Command9->click();
  EXPECT_TRUE(c().Timer2->isActive());

  c().Option5[3]->click();  // the fourth type polls at once, without "Begin"
  EXPECT_FALSE(c().Timer2->isActive());
  EXPECT_TRUE(c().Timer3->isActive());
  c().SSTab1->setCurrentIndex(4);
  EXPECT_FALSE(c().Timer3->isActive());
  c().SSTab1->setCurrentIndex(3);
  EXPECT_FALSE(c().Timer3->isActive());
  c().Option5[3]->click();  // already selected: applied again
  EXPECT_TRUE(c().Timer3->isActive());
}

TEST_F(DisplayMeterWindow, KeypadSendsThePressedKeyAndTicksLeaveABusyPortAlone) {
  start();
  std::string acknowledged;
  port.onOutput = [&](const std::string& request) {
    if (request[1] == 0x10) {
      acknowledged += request[7];
      port.receive(WithCrc(request.substr(0, 6)));
    }
  };
  auto* page = window->findChild<DisplayMeterHandlers*>();
  ASSERT_NE(page, nullptr);
  c().Command1[14]->click();  // "Enter"
  c().Command1[12]->click();  // "Menu"
  EXPECT_EQ(page->keypad().KeyQueue, "EM");

  session->longOperationRunning = true;  // a download, import or ID scan
  page->onTimer1Tick();
  page->onLiveTick();
  EXPECT_TRUE(port.writes.empty());

  session->longOperationRunning = false;
  page->onTimer1Tick();
  EXPECT_EQ(acknowledged, "E");
  EXPECT_EQ(page->keypad().KeyQueue, "M");
}

}  // namespace
}  // namespace norvale::testing
