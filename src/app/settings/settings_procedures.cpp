#include "app/settings/settings_procedures.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <string>
#include <utility>
#include <vector>

#include "app/controls/selected_option.h"
#include "app/controls/three_state_check_box.h"
#include "app/dialer/phone_book_grid.h"
#include "app/window/session.h"
#include "app/window/window_controls.h"
#include "settings/settings_file.h"
#include "settings/settings_lines.h"
#include "settings/settings_parse.h"
#include "settings/settings_store.h"
#include "text/byte_text.h"

namespace norvale {
namespace {

// The phone list header: "Item #" alone is bold, the three text columns sit left and top.
void LayOutPhoneList(PhoneBookGrid& grid) {
  grid.setHeaderBold(1, true);
  grid.setCellText(0, 1, QStringLiteral("Item #"));
  grid.setCellText(0, 2, QStringLiteral("Phone #"));
  grid.setCellText(0, 3, QStringLiteral("Description"));
  for (int column = 1; column <= 3; ++column) {
    grid.setGridColumnAlignment(column, Qt::AlignLeft | Qt::AlignTop);
  }
  const int widths[PhoneBookGrid::kColumns] = {200, 500, 1500, 2800};
  for (int column = 0; column < PhoneBookGrid::kColumns; ++column) {
    grid.setGridColumnWidth(column, widths[column]);
  }
}

void ApplyPalmCheck(const WindowControls& c, PalmCheck check) {
  switch (check) {
    case PalmCheck::Clear:
      c.Check1->setCheckState(Qt::Unchecked);
      c.Label9->hide();
      c.SortList->hide();
      break;
    case PalmCheck::Ticked:
      c.Check1->setCheckState(Qt::Checked);
      c.Label9->show();
      c.SortList->show();
      break;
    case PalmCheck::Greyed:
      c.Check1->setCheckState(Qt::PartiallyChecked);
      break;
  }
}

// Lines 4 to 8, after the port settings.
void ApplyFileLine(const ParsedSettings& read, size_t index, const WindowControls& c, Session& s) {
  const SavedSettings& v = read.values;
  switch (kSettingsLines[index].kind) {
    case SettingKind::SlaveId:
      c.Text1->setText(FromSettingsText(v.slaveIdText));
      s.settings.CommSlaveID = read.slaveId;
      break;
    case SettingKind::LogFile:
      s.settings.LogFilePath = ToFileName(FromSettingsText(v.downloadSaveFile));
      c.Text2->setText(FromSettingsText(v.downloadSaveFile));
      break;
    case SettingKind::DatabasePath:
      s.settings.DatabasePath = ToFileName(FromSettingsText(v.databasePath));
      c.Text6->setText(FromSettingsText(v.databasePath));
      break;
    case SettingKind::UsePalmDatabase:
      ApplyPalmCheck(c, v.usePalmDatabase);
      break;
    case SettingKind::PalmFileSep:
      c.Option4[v.palmFileSep]->setChecked(true);
      break;
    default:
      break;
  }
}

void ApplyPhoneLine(const SavedSettings& v, size_t index, PhoneBookGrid& grid) {
  const PhoneEntry& entry = v.phoneBook[PhoneEntryOfLine(index)];
  const int row = static_cast<int>(PhoneEntryOfLine(index)) + 1;
  const int column = static_cast<int>(index - kFirstPhoneLine) % 3 + 1;
  const std::string& text =
      column == 1 ? entry.item : (column == 2 ? entry.phone : entry.description);
  grid.setCellText(row, column, FromSettingsText(text));
}

// Puts the value of line index + 1 into its controls (running their handlers) and settings.
void ApplyLine(const ParsedSettings& read, size_t index, const WindowControls& c, Session& s) {
  const SavedSettings& v = read.values;
  switch (kSettingsLines[index].kind) {
    case SettingKind::CommPort:
      s.settings.CommPort = static_cast<int16_t>(v.commPort);
      c.Option2[v.commPort - 1]->setChecked(true);
      break;
    case SettingKind::CommBaud:
      s.settings.CommBaud = v.commBaud;
      for (size_t i = 0; i < kBaudRates.size(); ++i) {
        if (kBaudRates[i] == v.commBaud) c.Option1[i]->setChecked(true);
      }
      break;
    case SettingKind::FlowControl:
      c.Option3[v.hardwareFlow ? 1 : 0]->setChecked(true);
      break;
    case SettingKind::PhoneItem:
    case SettingKind::PhoneNumber:
    case SettingKind::PhoneDescription:
      ApplyPhoneLine(v, index, *c.MSHFlexGrid2);
      break;
    case SettingKind::MeterType:
      c.Option5[v.meterType]->setChecked(true);
      break;
    case SettingKind::FlowUnits:
      c.Combo1->setCurrentIndex(v.flowUnits);
      break;
    case SettingKind::FlowFormat:
      c.Combo3->setCurrentIndex(v.flowFormat);
      break;
    case SettingKind::VelocityUnits:
      c.Combo4->setCurrentIndex(v.velocityUnits);
      break;
    case SettingKind::ModemInitString:
      c.Text7->setText(FromSettingsText(v.modemInitString));
      break;
    default:
      ApplyFileLine(read, index, c, s);
      break;
  }
}

// The first entry becomes the current one, shown in the phone and description boxes.
void SelectFirstPhoneEntry(const WindowControls& c) {
  PhoneBookGrid& grid = *c.MSHFlexGrid2;
  grid.setCurrentGridCell(1, 2);
  c.Text5[0]->setText(grid.cellText(1, 2));
  c.Text5[1]->setText(grid.cellText(1, 3));
  grid.setCurrentGridCell(1, 2);
}

PalmCheck PalmCheckOf(const QCheckBox& box) {
  switch (box.checkState()) {
    case Qt::Checked:
      return PalmCheck::Ticked;
    case Qt::PartiallyChecked:
      return PalmCheck::Greyed;
    default:
      return PalmCheck::Clear;
  }
}

SavedSettings CollectSettings(const WindowControls& c, const Session& s) {
  SavedSettings saved;
  saved.commPort = std::max(SelectedIndex(c.Option2), 0) + 1;
  saved.commBaud = std::string(kBaudRates[std::max(SelectedIndex(c.Option1), 0)]);
  saved.hardwareFlow = !c.Option3[0]->isChecked();
  saved.slaveIdText = ToSettingsText(c.Text1->text());
  saved.downloadSaveFile = ToSettingsText(c.Text2->text());
  saved.databasePath = ToSettingsText(FromFileName(s.settings.DatabasePath));
  saved.usePalmDatabase = PalmCheckOf(*c.Check1);
  saved.palmFileSep = c.Option4[2]->isChecked() ? 2 : 0;
  for (int row = 1; row <= kPhoneBookEntries; ++row) {
    PhoneEntry& entry = saved.phoneBook[row - 1];
    entry.item = ToSettingsText(c.MSHFlexGrid2->cellText(row, 1));
    entry.phone = ToSettingsText(c.MSHFlexGrid2->cellText(row, 2));
    entry.description = ToSettingsText(c.MSHFlexGrid2->cellText(row, 3));
  }
  int meterType = SelectedIndex(c.Option5);
  saved.meterType = meterType == 1 || meterType == 2 ? meterType : 0;
  saved.flowUnits = c.Combo1->currentIndex();
  saved.flowFormat = c.Combo3->currentIndex();
  saved.velocityUnits = c.Combo4->currentIndex();
  saved.modemInitString = ToSettingsText(c.Text7->text());
  return saved;
}

}  // namespace

bool WriteDefaultSettings(const QString& folder) {
  return ReplaceSettingsFile(folder, DefaultSettingsFile());
}

void ApplySettings(const ParsedSettings& read, const WindowControls& c, Session& s) {
  for (size_t index = 0; index < static_cast<size_t>(read.linesRead); ++index) {
    if (read.present[index]) ApplyLine(read, index, c, s);
    // Line 1 read, whatever it held, clears the port error flag; line 8 read, the phone list
    // gets its header.
    if (index == 0) s.link.state().CommErrorShown = 0;
    if (index + 1 == kFirstPhoneLine) LayOutPhoneList(*c.MSHFlexGrid2);
  }
  // The slave ID box took line 4 as written before its number failed.
  if (read.failedLine > 0 &&
      kSettingsLines[static_cast<size_t>(read.failedLine) - 1].kind == SettingKind::SlaveId) {
    c.Text1->setText(FromSettingsText(read.values.slaveIdText));
  }
  if (read.whole()) {
    SelectFirstPhoneEntry(c);
  } else if (read.linesRead == 5) {
    // A file that ends after line 5 gets the factory database path, not the window's.
    s.settings.DatabasePath = kDefaultDatabasePath;
    c.Text6->setText(QString::fromLatin1(kDefaultDatabasePath));
  }
}

void LoadSettings(const WindowControls& c, Session& s) {
  QDir::setCurrent(s.settingsFolder());
  std::optional<StoredSettingsLines> stored =
      ReadSettingsLines(s.settingsFolder(), kSettingsLineCount);
  const bool onDisk = stored.has_value();
  // Only when the folder could not take the factory file: read those lines from memory.
  const ParsedSettings read = ParseSettingsLines(
      onDisk ? std::move(stored->lines) : SplitSettingsLines(DefaultSettingsFile()),
      {c.Combo1->count(), c.Combo3->count(), c.Combo4->count()});
  ApplySettings(read, c, s);
  // The save at exit writes the window's values over whatever this file still held.
  if (onDisk && (!read.whole() || read.keyMissing || stored->damaged)) {
    BackUpSettingsFile(s.settingsFolder());
  }
}

bool SaveSettings(const WindowControls& c, const Session& s) {
  QDir::setCurrent(s.settingsFolder());
  return ReplaceSettingsFile(s.settingsFolder(), FormatSettingsFile(CollectSettings(c, s)));
}

}  // namespace norvale
