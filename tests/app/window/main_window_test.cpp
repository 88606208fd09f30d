#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

#include "app/download/download_tab_handlers.h"
#include "app/view/record_grid.h"
#include "app/window_fixture.h"

namespace norvale::testing {
namespace {

using MainWindowLayout = WindowTest;

TEST_F(MainWindowLayout, OneTitledWindowWithTheSixTabsInOrder) {
  start();
  EXPECT_EQ(window->objectName(), "DwnLoad1");
  EXPECT_EQ(window->windowTitle(), "Norvale Download Revision 1.25");
  auto* tabs = control<QTabWidget>(QStringLiteral("SSTab1"));
  ASSERT_NE(tabs, nullptr);
  QStringList names;
  for (int i = 0; i < tabs->count(); ++i) names << tabs->tabText(i);
  EXPECT_EQ(names,
            (QStringList{"Download", "View", "Settings", "Display Meter ", "Dialer", "Norvale"}));
  EXPECT_EQ(tabs->currentIndex(), 0);
  EXPECT_EQ(control<QAction>(QStringLiteral("File_mnu"))->text(), "E&xit");
  window->show();
  QCoreApplication::processEvents();
  // At least the size the controls were laid out for (about 10950 x 8070 twips).
  QSize client = window->centralWidget()->size();
  EXPECT_GE(client.width(), 730);
  EXPECT_GE(client.height(), 538);
}

TEST_F(MainWindowLayout, TimersStartStoppedWithTheirIntervals) {
  start();
  const std::pair<const char*, int> timers[] = {
      {"Timer1", 750}, {"Timer2", 1000}, {"Timer3", 1000}};
  for (const auto& [name, interval] : timers) {
    auto* timer = control<QTimer>(QString::fromLatin1(name));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), interval);
    EXPECT_FALSE(timer->isActive());
  }
}

TEST_F(MainWindowLayout, ControlsCarryTheirCaptionsAndInitialVisibility) {
  start();
  const std::pair<const char*, const char*> captions[] = {
      {"Command2", "Download Data"},
      {"Command7", "Since Last Time"},
      {"Command6", "Get ID List..."},
      {"Command3", "Change Filename"},
      {"Command9", "Begin"},
      {"Command4", "Dial this Number"},
      {"Command5", "Hangup"},
      {"Command8", "Browse for Palm Database"},
      {"Command1_3", "Help / ."},
      {"Command1_7", "Up/Next"},
      {"Command1_15", "2nd"},
      {"Option1_4", "14400"},
      {"Option2_6", "Comm7"},
      {"Option3_1", "Hardware (Cts/Rts)"},
      {"Option4_2", "Dont Separate"},
      {"Option4_0", "Modbus ID of meter"},
      {"Option5_3", "KX90,KX75,KX77, Solent Series"},
      {"Label3_8", "Records available"},
      {"Label3_9", "Records used"},
      {"Label3_7", "Channel #8"},
      {"Label9", "Files separated by ModID"},
      {"Label6", "Okay"},
      {"Label11", "Modem Init String"},
      {"Frame6", "DownLoad Filename"},
      {"Frame9",
       "Separate the different Download Files in "
       "Palm Database by....."},
  };
  for (const auto& [name, caption] : captions) {
    QWidget* w = control<QWidget>(QString::fromLatin1(name));
    ASSERT_NE(w, nullptr);
    QVariant text = w->property("text").isValid() ? w->property("text") : w->property("title");
    EXPECT_EQ(text.toString(), QString::fromLatin1(caption)) << name;
  }
  EXPECT_EQ(control<QCheckBox>(QStringLiteral("Check2"))->text(), "Select for KX90 Portable");
  EXPECT_EQ(control<QLineEdit>(QStringLiteral("Text5_0"))->accessibleName(), "Phone #");

  for (const char* hidden :
       {"Command7", "Command6", "Check2", "Label9", "SortList", "Text4_4", "Label10", "Frame12",
        "Frame14", "Frame15", "Label8", "Text6", "Command8", "Frame9"}) {
    EXPECT_TRUE(control<QWidget>(QString::fromLatin1(hidden))->isHidden()) << hidden;
  }
  for (const char* shown : {"Command2", "Check1", "ProgressBar1", "Label4", "Frame11", "Frame8_0",
                            "Text3_9", "MSHFlexGrid1", "MSHFlexGrid2", "Text5_1"}) {
    EXPECT_FALSE(control<QWidget>(QString::fromLatin1(shown))->isHidden()) << shown;
  }
  EXPECT_EQ(control<QProgressBar>(QStringLiteral("ProgressBar1"))->maximum(), 100);
  auto* flowUnits = control<QComboBox>(QStringLiteral("Combo1"));
  EXPECT_EQ(flowUnits->count(), 15);
  EXPECT_EQ(flowUnits->itemText(14), "BPH");
  EXPECT_TRUE(flowUnits->isEditable());
}

TEST_F(MainWindowLayout, EveryBoxListAndGridHasAnAccessibleName) {
  start();
  QList<QWidget*> named;
  for (QLineEdit* w : window->findChildren<QLineEdit*>()) {
    if (!qobject_cast<QComboBox*>(w->parentWidget())) named << w;
  }
  for (QComboBox* w : window->findChildren<QComboBox*>()) named << w;
  for (QAbstractItemView* w : window->findChildren<QAbstractItemView*>()) {
    if (!w->objectName().isEmpty()) named << w;
  }
  EXPECT_GE(named.size(), 24);
  for (QWidget* w : named) {
    EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
  }
  EXPECT_EQ(control<QLineEdit>(QStringLiteral("Text3_8"))->accessibleName(), "Records available");
  EXPECT_EQ(control<QLabel>(QStringLiteral("Label1"))->buddy(), c().Text1);
}

TEST_F(MainWindowLayout, RecordGridShowsTheWholeTableUnderItsTitleRow) {
  start();
  auto* grid = control<RecordGrid>(QStringLiteral("MSHFlexGrid1"));
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(grid->model()->rowCount() + 2, 65535);
  EXPECT_EQ(grid->model()->columnCount() + 1, 10);
  EXPECT_GE(grid->verticalHeader()->width(), 1000 / 15);
  EXPECT_GE(grid->columnWidth(0), 1800 / 15);
  EXPECT_EQ(grid->columnWidth(1), 2000 / 15);
}

// Three quarters of the screen's free area, never less than the laid-out size, never more than
// the free area less a window frame (a 1024 x 768 screen at scale 2 leaves 512 x 384).
TEST(DefaultWindowSize, TakesMostOfTheScreenButNeverMoreThanItsFreeArea) {
  const QSize smallest(730, 560);
  const std::pair<QSize, QSize> cases[] = {
      {{1920, 1040}, {1440, 780}},
      {{1024, 740}, {768, 560}},
      {{800, 600}, {730, 552}},
      {{512, 384}, {496, 336}},
  };
  for (const auto& [available, expected] : cases) {
    EXPECT_EQ(DefaultWindowSize(smallest, available), expected)
        << available.width() << "x" << available.height();
  }
}

TEST_F(MainWindowLayout, OpensWithinTheScreenAndCanShrinkToAHalfScaleScreen) {
  start();
  window->show();
  QCoreApplication::processEvents();
  const QRect free = window->screen()->availableGeometry();
  EXPECT_LE(window->width(), free.width());
  EXPECT_LE(window->height(), free.height());
  EXPECT_LE(window->minimumSizeHint().width(), 496);
  EXPECT_LE(window->minimumSizeHint().height(), 336);
}

TEST_F(MainWindowLayout, StatusLabelsAreReadOutAsTheirChangingText) {
  start();
  auto* download = window->findChild<DownloadTabHandlers*>();
  ASSERT_NE(download, nullptr);
  download->setStatusText("Downloading");
  c().Label6->setText(QStringLiteral("Dialing"));  // the dialer writes its status the same way

  const std::tuple<QLabel*, const char*, const char*> labels[] = {
      {c().Label4, "Downloading", "Download status"}, {c().Label6, "Dialing", "Dialer status"}};
  for (const auto& [label, text, role] : labels) {
    QAccessibleInterface* readOut = QAccessible::queryAccessibleInterface(label);
    ASSERT_NE(readOut, nullptr);
    EXPECT_EQ(readOut->text(QAccessible::Name), text);
    EXPECT_EQ(readOut->text(QAccessible::Description), role);
    // QLabel::setText announces the new name (NameChanged) only to a label without a fixed one.
    EXPECT_TRUE(label->accessibleName().isEmpty()) << role;
  }
}

}  // namespace
}  // namespace norvale::testing
