#pragma once

#include <array>

#include "settings/baud_rates.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;

namespace norvale {

class PhoneBookGrid;
class RecordChartView;
class RecordGrid;
class ThreeStateCheckBox;

// Every control of the window by its control name; a control array is a std::array indexed
// as the controls are numbered. The window owns them all.
struct WindowControls {
  QTabWidget* SSTab1 = nullptr;

  // Tab 0 "Download"
  QGroupBox* Frame4 = nullptr;  // "Channels"
  QGroupBox* Frame5 = nullptr;  // "Status"
  QGroupBox* Frame6 = nullptr;  // "DownLoad Filename"
  QGroupBox* Frame7 = nullptr;  // "Start Download"
  std::array<QLabel*, 10> Label3{};
  std::array<QLineEdit*, 10> Text3{};
  QLabel* Label2 = nullptr;
  QLineEdit* Text2 = nullptr;
  QPushButton* Command3 = nullptr;
  QPushButton* Command2 = nullptr;
  QPushButton* Command7 = nullptr;
  ThreeStateCheckBox* Check1 = nullptr;
  QComboBox* SortList = nullptr;
  QPushButton* Command6 = nullptr;
  QCheckBox* Check2 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QLabel* Label9 = nullptr;
  QLabel* Label4 = nullptr;
  // "Stop": ends the download, import or ID scan under way; disabled while none runs.
  QPushButton* StopDownload = nullptr;

  // Tab 1 "View"
  RecordGrid* MSHFlexGrid1 = nullptr;
  // The chart below the grid, with its readout and buttons.
  RecordChartView* LogChart = nullptr;
  QLabel* ChartReadout = nullptr;
  QPushButton* ResetChartZoom = nullptr;
  QPushButton* SaveChartImage = nullptr;

  // Tab 2 "Settings"
  QLabel* Label1 = nullptr;
  QLineEdit* Text1 = nullptr;
  QGroupBox* Frame1 = nullptr;
  QGroupBox* Frame2 = nullptr;
  QGroupBox* Frame3 = nullptr;
  std::array<QRadioButton*, kBaudRates.size()> Option1{};  // one per baud rate
  std::array<QRadioButton*, 7> Option2{};                  // Comm1..Comm7
  QLabel* PortDevice = nullptr;                            // what the chosen "Comm" n opens now
  std::array<QRadioButton*, 2> Option3{};                  // flow control
  QLabel* Label11 = nullptr;
  QLineEdit* Text7 = nullptr;

  // Tab 3 "Display Meter "
  QGroupBox* Frame10 = nullptr;
  std::array<QRadioButton*, 4> Option5{};  // meter types
  QPushButton* Command9 = nullptr;
  std::array<QGroupBox*, 1> Frame8{};
  std::array<QLineEdit*, 5> Text4{};
  QLabel* Label10 = nullptr;
  QGroupBox* Frame11 = nullptr;
  std::array<QPushButton*, 16> Command1{};  // keypad
  QGroupBox* Frame12 = nullptr;
  QGroupBox* Frame14 = nullptr;
  QGroupBox* Frame15 = nullptr;
  QComboBox* Combo1 = nullptr;  // flow units
  QComboBox* Combo3 = nullptr;  // flow format
  QComboBox* Combo4 = nullptr;  // velocity units

  // Tab 4 "Dialer"
  QLabel* Label7 = nullptr;
  PhoneBookGrid* MSHFlexGrid2 = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* Label6 = nullptr;
  QLabel* DialWait = nullptr;         // what the dialer waits for, and for how long
  std::array<QLineEdit*, 2> Text5{};  // phone, description
  QPushButton* Command4 = nullptr;
  QPushButton* Command5 = nullptr;

  // Tab 5 "Norvale": its controls sit on the Download tab, in a frame shown while "Use Palm
  // DataBase" is ticked, so the database can be chosen where it is used.
  QGroupBox* PalmDatabase = nullptr;
  QLabel* Label8 = nullptr;
  QLineEdit* Text6 = nullptr;
  QPushButton* Command8 = nullptr;
  QGroupBox* Frame9 = nullptr;
  // Numbered 0 ("Modbus ID of meter") and 2 ("Dont Separate"); there is no Option4(1).
  std::array<QRadioButton*, 3> Option4{};

  QTimer* Timer1 = nullptr;  // keypad cycle
  QTimer* Timer2 = nullptr;  // live values, "Begin"
  QTimer* Timer3 = nullptr;  // live values, fourth meter type
  QAction* File_mnu = nullptr;
  QAction* LineTrace_mnu = nullptr;
};

}  // namespace norvale
