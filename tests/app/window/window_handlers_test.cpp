#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "app/controls/three_state_check_box.h"
#include "app/window_fixture.h"

namespace norvale::testing {
namespace {

using WindowHandlers = WindowTest;

TEST_F(WindowHandlers, BaudAndPortOptionsSetTheSettingsAtOnce) {
  start();
  for (int i = 0; i < 7; ++i) {
    c().Option1[i]->setChecked(true);
    EXPECT_EQ(settings().CommBaud, kBaudRates[i]);
    c().Option2[i]->setChecked(true);
    EXPECT_EQ(settings().CommPort, i + 1);
  }
}

TEST_F(WindowHandlers, SlaveIdFollowsTheBoxAndRefusesNumbersBeyondSixteenBits) {
  start();
  const std::pair<const char*, int16_t> cases[] = {
      {"12abc", 12}, {"", 0}, {"001", 1}, {"99999", 1}, {"2.5", 2}, {"-7", -7}, {"32768", -7}};
  for (const auto& [text, id] : cases) {
    c().Text1->setText(QString::fromLatin1(text));
    EXPECT_EQ(settings().CommSlaveID, id) << text;
  }
}

TEST_F(WindowHandlers, FileNameBoxAndPortableBoxSetTheirSettings) {
  start();
  c().Text2->setText(QStringLiteral("north.csv"));
  EXPECT_EQ(settings().LogFilePath, "north.csv");
  c().Check2->setCheckState(Qt::Checked);
  EXPECT_TRUE(settings().PortableMeter);
  c().Check2->setCheckState(Qt::Unchecked);
  EXPECT_FALSE(settings().PortableMeter);
  c().Check2->setCheckState(Qt::PartiallyChecked);
  EXPECT_TRUE(settings().PortableMeter);
}

TEST_F(WindowHandlers, PalmCheckBoxIsGreyedOnlyByCodeAndAClickTicksIt) {
  start();
  c().Check1->setCheckState(Qt::PartiallyChecked);
  c().Check1->click();
  EXPECT_EQ(c().Check1->checkState(), Qt::Checked);
  c().Check1->click();
  EXPECT_EQ(c().Check1->checkState(), Qt::Unchecked);
  c().Check1->click();
  EXPECT_EQ(c().Check1->checkState(), Qt::Checked);
}

struct MeterTypeCase {
  int option;
  bool keypad;
  bool timer1;  // with all three running before the click
  bool timer2;
  bool timer3;
  bool liveExtras;
};

TEST_F(WindowHandlers, MeterTypeRearrangesTheDisplayTabAndItsTimers) {
  start();
  const MeterTypeCase cases[] = {
      {0, true, true, false, false, false},
      {1, false, false, true, false, true},
      {2, false, false, true, false, true},
      {3, false, false, false, true, true},
  };
  for (const MeterTypeCase& m : cases) {
    SCOPED_TRACE(m.option);
    c().Option5[(m.option + 1) % 4]->setChecked(true);
    for (QTimer* timer : {c().Timer1, c().Timer2, c().Timer3}) timer->start();
    for (int i = 0; i < 4; ++i) c().Text4[i]->setText(QStringLiteral("old"));

    c().Option5[m.option]->setChecked(true);
    EXPECT_EQ(!c().Frame11->isHidden(), m.keypad);
    EXPECT_EQ(c().Timer1->isActive(), m.timer1);
    EXPECT_EQ(c().Timer2->isActive(), m.timer2);
    EXPECT_EQ(c().Timer3->isActive(), m.timer3);
    for (QWidget* extra : {static_cast<QWidget*>(c().Text4[4]), static_cast<QWidget*>(c().Label10),
                           static_cast<QWidget*>(c().Frame12), static_cast<QWidget*>(c().Frame14),
                           static_cast<QWidget*>(c().Frame15)}) {
      EXPECT_EQ(!extra->isHidden(), m.liveExtras) << extra->objectName().toStdString();
    }
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(c().Text4[i]->text().isEmpty());
  }
}

TEST_F(WindowHandlers, FourthMeterTypeStartsPollingWithoutBegin) {
  start();
  c().Option5[3]->setChecked(true);
  EXPECT_TRUE(c().Timer3->isActive());
  c().Option5[0]->setChecked(true);
  EXPECT_FALSE(c().Timer3->isActive());
}

TEST_F(WindowHandlers, LeavingTheDisplayTabStopsEveryTimerAndEnteringStartsNone) {
  start();
  c().SSTab1->setCurrentIndex(3);
  c().Option5[3]->setChecked(true);
  c().Timer1->start();
  c().SSTab1->setCurrentIndex(4);
  EXPECT_FALSE(c().Timer1->isActive());
  EXPECT_FALSE(c().Timer3->isActive());
  c().SSTab1->setCurrentIndex(3);
  EXPECT_FALSE(c().Timer3->isActive());

  c().SSTab1->setCurrentIndex(0);
  c().Timer2->start();
  c().SSTab1->setCurrentIndex(1);  // leaving another tab stops nothing
  EXPECT_TRUE(c().Timer2->isActive());
}

TEST_F(WindowHandlers, ChangeFilenamePutsTheNameInTheBoxAndTheFullPathInTheSettings) {
  start();
  SaveFileRequest asked;
  std::optional<QString> answer = QStringLiteral("/data/meters/run7.csv");
  window->setSaveFileChooser([&](const SaveFileRequest& request) {
    asked = request;
    return answer;
  });
  c().Command3->click();
  EXPECT_EQ(asked.title, "Data Filename Selection");
  EXPECT_EQ(asked.filter, "*.csv");
  EXPECT_EQ(asked.fileName, "Logdata.csv");
  EXPECT_EQ(c().Text2->text(), "run7.csv");
  EXPECT_EQ(settings().LogFilePath, "/data/meters/run7.csv");

  answer = std::nullopt;
  c().Command3->click();
  EXPECT_EQ(c().Text2->text(), "run7.csv");
  EXPECT_EQ(settings().LogFilePath, "/data/meters/run7.csv");
}

TEST_F(WindowHandlers, PortErrorShowsAWarningWithTheReasonAsDetails) {
  start();
  settings().CommBaud = "38400";
  port.openFailure = "Permission denied";
  QString text, title, details;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    text = box->text();
    title = box->windowTitle();
    details = box->detailedText();
    icon = box->icon();
    box->accept();
  });
  EXPECT_FALSE(session->link.OpenCommPort());
  EXPECT_EQ(text, "Communications Port not Valid");
  EXPECT_EQ(title, "Comm Error");
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_TRUE(details.contains(QStringLiteral("Permission denied")));
}

}  // namespace
}  // namespace norvale::testing
