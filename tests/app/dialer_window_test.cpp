// The phone list and its boxes offscreen: picking an entry shows it, typing writes straight into
// it, and the next start shows what was typed.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/phone_book_grid.h"
#include "window_fixture.h"

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
  bool checked = false;
  pump.onRound = [&] {
    if (checked || clock.now < 36010) return;
    checked = true;
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
}

}  // namespace
}  // namespace norvale::testing
