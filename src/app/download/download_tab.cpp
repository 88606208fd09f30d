#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/controls/control_factory.h"
#include "app/controls/three_state_check_box.h"
#include "app/window/window_controls.h"
#include "app/window/window_tabs.h"

namespace norvale {
namespace {

QGroupBox* BuildChannels(WindowControls& c) {
  c.Frame4 = MakeFrame(QStringLiteral("Frame4"), QStringLiteral("Channels"));
  auto* grid = new QGridLayout(c.Frame4);
  for (int i = 0; i < 8; ++i) {
    c.Label3[i] = MakeLabel(ControlName("Label3", i), QStringLiteral("Channel #%1").arg(i + 1));
    c.Text3[i] = MakeTextBox(ControlName("Text3", i), {}, {});
    NameByLabel(c.Label3[i], c.Text3[i]);
    grid->addWidget(c.Label3[i], i, 0);
    grid->addWidget(c.Text3[i], i, 1);
  }
  grid->setRowStretch(8, 1);
  return c.Frame4;
}

QGroupBox* BuildStartDownload(WindowControls& c) {
  c.Frame7 = MakeFrame(QStringLiteral("Frame7"), QStringLiteral("Start Download"));
  c.Command2 = MakeButton(QStringLiteral("Command2"), QStringLiteral("Download Data"));
  c.Command7 = MakeButton(QStringLiteral("Command7"), QStringLiteral("Since Last Time"));
  c.StopDownload = MakeButton(QStringLiteral("StopDownload"), QStringLiteral("Stop"));
  c.StopDownload->setAccessibleName(QStringLiteral("Stop the download"));
  c.StopDownload->setEnabled(false);
  c.Check1 = new ThreeStateCheckBox(QStringLiteral("Use Palm DataBase"));
  c.Check1->setObjectName(QStringLiteral("Check1"));
  c.Label9 = MakeLabel(QStringLiteral("Label9"), QStringLiteral("Files separated by ModID"));
  c.SortList = new QComboBox;
  c.SortList->setObjectName(QStringLiteral("SortList"));
  c.SortList->setEditable(true);
  c.SortList->setInsertPolicy(QComboBox::NoInsert);
  c.SortList->setAccessibleName(QStringLiteral("Meter ID"));
  c.Command6 = MakeButton(QStringLiteral("Command6"), QStringLiteral("Get ID List..."));
  c.Check2 = MakeCheck(QStringLiteral("Check2"), QStringLiteral("Select for KX90 Portable"));
  c.ProgressBar1 = new QProgressBar;
  c.ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  c.ProgressBar1->setRange(0, 100);
  c.ProgressBar1->setValue(0);
  c.ProgressBar1->setTextVisible(false);
  c.ProgressBar1->setAccessibleName(QStringLiteral("Download progress"));

  for (QWidget* hidden : {static_cast<QWidget*>(c.Command7), static_cast<QWidget*>(c.Label9),
                          static_cast<QWidget*>(c.SortList), static_cast<QWidget*>(c.Command6),
                          static_cast<QWidget*>(c.Check2)}) {
    KeepPlaceWhenHidden(hidden);
    hidden->hide();
  }

  auto* grid = new QGridLayout(c.Frame7);
  grid->addWidget(c.Command2, 0, 0);
  grid->addWidget(c.Command7, 0, 1);
  grid->addWidget(c.ProgressBar1, 1, 0);
  grid->addWidget(c.StopDownload, 1, 1);
  grid->addWidget(c.Check1, 2, 0, 1, 2);
  grid->addWidget(c.Label9, 3, 0);
  grid->addWidget(c.SortList, 3, 1);
  grid->addWidget(c.Command6, 4, 1);
  grid->addWidget(c.Check2, 5, 0, 1, 2);
  grid->setRowStretch(6, 1);
  return c.Frame7;
}

QGroupBox* BuildStatus(WindowControls& c) {
  c.Frame5 = MakeFrame(QStringLiteral("Frame5"), QStringLiteral("Status"));
  c.Label3[8] = MakeLabel(ControlName("Label3", 8), QStringLiteral("Records available"));
  c.Text3[8] = MakeTextBox(ControlName("Text3", 8), {}, {});
  c.Label3[9] = MakeLabel(ControlName("Label3", 9), QStringLiteral("Records used"));
  c.Text3[9] = MakeTextBox(ControlName("Text3", 9), {}, {});
  c.Label4 = MakeStatusLabel(QStringLiteral("Label4"), {}, QStringLiteral("Download status"));
  auto* grid = new QGridLayout(c.Frame5);
  for (int i = 8; i <= 9; ++i) {
    NameByLabel(c.Label3[i], c.Text3[i]);
    grid->addWidget(c.Label3[i], i - 8, 0);
    grid->addWidget(c.Text3[i], i - 8, 1);
  }
  grid->addWidget(c.Label4, 2, 0, 1, 2);
  grid->setRowStretch(3, 1);
  return c.Frame5;
}

QGroupBox* BuildFileName(WindowControls& c) {
  c.Frame6 = MakeFrame(QStringLiteral("Frame6"), QStringLiteral("DownLoad Filename"));
  c.Label2 = MakeLabel(QStringLiteral("Label2"), QStringLiteral("Store Records into File"));
  c.Text2 = MakeTextBox(QStringLiteral("Text2"), QStringLiteral("Logdata.csv"), {});
  NameByLabel(c.Label2, c.Text2);
  c.Command3 = MakeButton(QStringLiteral("Command3"), QStringLiteral("Change Filename"));
  auto* row = new QHBoxLayout(c.Frame6);
  row->addWidget(c.Label2);
  row->addWidget(c.Text2, 1);
  row->addWidget(c.Command3);
  return c.Frame6;
}

}  // namespace

QWidget* BuildDownloadTab(WindowControls& c) {
  auto* page = new QWidget;
  auto* right = new QVBoxLayout;
  right->addWidget(BuildStartDownload(c), 3);
  right->addWidget(BuildStatus(c), 2);
  auto* top = new QHBoxLayout;
  top->addWidget(BuildChannels(c), 1);
  top->addLayout(right, 1);
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(top, 1);
  layout->addWidget(BuildFileName(c));
  layout->addWidget(BuildPalmDatabaseFrame(c));
  return page;
}

}  // namespace norvale
