// The phone list and its boxes offscreen: picking an entry shows it, typing writes straight into
// it, and the next start shows what was typed.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/dialer/phone_book_grid.h"
#include "app/window_fixture.h"

namespace norvale::testing {
namespace {

using DialerWindow = WindowTest;

TEST_F(DialerWindow, PickedEntryShowsInTheBoxesAndTypingGoesStraightIntoIt) {
  start();
  PhoneBookGrid& grid = *c().MSHFlexGrid2;
  grid.setCellText(4, 2, QStringLiteral("555 0104"));
  grid.setCellText(4, 3, QStringLiteral("Pump station 4"));
  grid.setCurrentGridCell(4, 3);
  EXPECT_EQ(c().Text5[0]->text(), "555 0104");
  EXPECT_EQ(c().Text5[1]->text(), "Pump station 4");
  EXPECT_EQ(grid.gridColumn(), 3);

  c().Text5[0]->setText(QStringLiteral("555 0199"));
  EXPECT_EQ(grid.cellText(4, 2), "555 0199");
  EXPECT_EQ(grid.gridColumn(), 2);
  EXPECT_EQ(grid.cellText(4, 3), "Pump station 4");

  grid.setCurrentGridCell(2, 1);  // the item column shows nothing
  EXPECT_EQ(c().Text5[0]->text(), "555 0199");

  restart();
  EXPECT_EQ(c().MSHFlexGrid2->cellText(4, 2), "555 0199");
}

// A modem that never answers: while the dial waits, the other port users are disabled and
// "Hangup" stops the dial, then hangs up.
TEST_F(DialerWindow, HangupDuringADialStopsItAndHangsUp) {
  start();
  c().Text5[0]->setText(QStringLiteral("5551234"));
  bool checked = false;
  pump.onRound = [&] {
    if (checked || clock.now < 36010) return;
    checked = true;
    // Nothing has come from the modem yet, and the window says what it waits for.
    EXPECT_EQ(c().Label6->text(), "Dialing 5551234");
    EXPECT_EQ(control<QLabel>(QStringLiteral("DialWait"))->text(),
              "Waiting up to 120 s for the modem's OK");
    EXPECT_FALSE(c().Command2->isEnabled());
    EXPECT_FALSE(c().Command9->isEnabled());
    EXPECT_TRUE(c().Command5->isEnabled());
    c().Command5->click();
  };
  const double start = clock.now;
  c().Command4->click();
  EXPECT_TRUE(checked);
  EXPECT_LT(clock.now - start, 20);  // not the 120 s of a dial left to run out
  EXPECT_EQ(c().Label6->text(), "Okay");
  EXPECT_EQ(port.writes.back(), "ATH0\r");
  EXPECT_FALSE(port.isOpen);
  EXPECT_TRUE(c().Command2->isEnabled());
  EXPECT_EQ(c().DialWait->text(), "");
}

// Qt cuts a box's text at 32767 characters unless told otherwise, and the cut text was saved.
TEST_F(DialerWindow, LongPhoneEntriesAndModemStringAreSavedWhole) {
  start();
  const QString longText = QString(40000, QLatin1Char('7')) + QStringLiteral("end");
  c().Text5[0]->setText(longText);
  c().Text5[1]->setText(longText + QStringLiteral("d"));
  c().Text7->setText(longText + QStringLiteral("m"));
  restart();
  EXPECT_EQ(c().MSHFlexGrid2->cellText(1, 2), longText);
  EXPECT_EQ(c().Text5[0]->text(), longText);
  EXPECT_EQ(c().Text5[1]->text(), longText + QStringLiteral("d"));
  EXPECT_EQ(c().Text7->text(), longText + QStringLiteral("m"));
}

// A modem that says OK and CONNECT at once.
void AnswerLikeAModem(FakeSerialPort& port) {
  port.onOutput = [&port](const std::string& bytes) {
    if (bytes.rfind("ATE0", 0) == 0) port.receive("\r\nOK\r\n");
    if (bytes.rfind("ATDT", 0) == 0) port.receive("\r\nCONNECT 9600\r\n");
  };
}

// The call was dialed on Comm1 at 38400; Comm3 at 9600 was chosen afterwards. The modem that holds
// the line is on Comm1: the hang-up opens that one, whether the port was still open or not.
TEST_F(DialerWindow, HangupWorksOnThePortTheCallWasDialedOn) {
  for (bool closedMeanwhile : {false, true}) {
    start();
    AnswerLikeAModem(port);
    c().Command4->click();
    ASSERT_TRUE(port.isOpen);
    ASSERT_EQ(port.commPort, 1);
    c().Option2[2]->setChecked(true);
    c().Option1[3]->setChecked(true);
    if (closedMeanwhile) port.setPortOpen(false);
    const int opens = port.opens;
    c().Command5->click();
    EXPECT_EQ(port.opens, opens + 1) << closedMeanwhile;
    EXPECT_EQ(port.commPort, 1) << closedMeanwhile;
    EXPECT_EQ(port.settings, "38400,N,8,1") << closedMeanwhile;
    EXPECT_FALSE(port.isOpen);
    EXPECT_EQ(c().Label6->text(), closedMeanwhile ? "Com port already closed" : "Okay");
    // The choice stands for whatever opens the port next.
    EXPECT_EQ(settings().CommPort, 3);
    EXPECT_EQ(settings().CommBaud, "9600");
    stop();
  }
}

// A poll on another tab may still wait for its reply when the user clicks.
TEST_F(DialerWindow, DialOrHangupWhileAnExchangeWaitsSaysPortBusy) {
  start();
  for (QPushButton* button : {c().Command4, c().Command5}) {
    c().Label6->setText(QStringLiteral("Okay"));
    {
      MeterLink::Transaction poll(session->link);
      button->click();
    }
    EXPECT_EQ(c().Label6->text(), "Port busy") << button->text().toStdString();
  }
  EXPECT_TRUE(port.writes.empty());
  EXPECT_EQ(port.opens, 0);
}

}  // namespace
}  // namespace norvale::testing
