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
#include "settings/settings_store.h"
#include "text/byte_text.h"

namespace norvale {
namespace {

// Hands out the file's lines in order; running out is a failure of the reading.
class LineReader {
 public:
  explicit LineReader(std::vector<std::string> lines) : lines_(std::move(lines)) {}
  bool next(std::string& line) {
    if (next_ >= lines_.size() || next_ >= static_cast<size_t>(kSettingsLineCount)) return false;
    line = lines_[next_++];
    return true;
  }

 private:
  std::vector<std::string> lines_;
  size_t next_ = 0;
};

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

std::string_view KeyOfLine(int number) { return kSettingsLines[number - 1].key; }

// How far the reading got, and whether a line lacked its key (lines 3 and 43 of the factory
// file carry other keys; that is normal and not counted).
struct ReadProgress {
  int marker = 0;
  bool keyMissing = false;
};

// Steps 1 to 16 of the reading; false at the first failure.
bool ApplySettingsLines(LineReader& in, const WindowControls& c, Session& s, ReadProgress& read) {
  std::string line;
  std::optional<std::string> value;
  int& marker = read.marker;
  auto valueOf = [&](std::string_view key) {
    std::optional<std::string> found = ValueForKey(line, key);
    if (!found) read.keyMissing = true;
    return found;
  };

  if (!in.next(line)) return false;
  if ((value = valueOf(KeyOfLine(1)))) {
    std::optional<int16_t> port = CommPortFromValue(*value);
    if (!port) return false;
    s.settings.CommPort = *port;
    c.Option2[*port - 1]->setChecked(true);
  }
  s.link.state().CommErrorShown = 0;
  marker = 1;

  if (!in.next(line)) return false;
  if ((value = valueOf(KeyOfLine(2)))) {
    s.settings.CommBaud = CommBaudFromValue(*value);
    for (size_t i = 0; i < kBaudRates.size(); ++i) {
      if (kBaudRates[i] == s.settings.CommBaud) c.Option1[i]->setChecked(true);
    }
  }
  marker = 2;

  if (!in.next(line)) return false;
  if ((value = ValueForKey(line, KeyOfLine(3)))) {
    c.Option3[HardwareFlowFromValue(*value) ? 1 : 0]->setChecked(true);
  }
  marker = 3;

  if (!in.next(line)) return false;
  if ((value = valueOf(KeyOfLine(4)))) {
    c.Text1->setText(FromSettingsText(*value));
    std::optional<int16_t> id = SlaveIdFromText(*value);
    if (!id) return false;
    s.settings.CommSlaveID = *id;
  }
  marker = 4;

  if (!in.next(line)) return false;
  if ((value = valueOf(KeyOfLine(5)))) {
    QString name = FromSettingsText(*value);
    s.settings.LogFilePath = ToFileName(name);
    c.Text2->setText(name);
  }
  marker = 5;

  if (!in.next(line)) return false;
  if ((value = valueOf(KeyOfLine(6)))) {
    QString name = FromSettingsText(*value);
    s.settings.DatabasePath = ToFileName(name);
    c.Text6->setText(name);
  }
  marker = 6;

  if (!in.next(line)) return false;
  if ((value = valueOf(KeyOfLine(7)))) ApplyPalmCheck(c, PalmCheckFromValue(*value));
  marker = 7;

  if (!in.next(line)) return false;
  if ((value = valueOf(KeyOfLine(8)))) {
    c.Option4[SeparationFromValue(*value)]->setChecked(true);
  }
  marker = 8;

  LayOutPhoneList(*c.MSHFlexGrid2);
  for (int row = 1; row <= kPhoneBookEntries; ++row) {
    for (int column = 1; column <= 3; ++column) {
      if (!in.next(line)) return false;
      if ((value = valueOf(KeyOfLine(9 + (row - 1) * 3 + column - 1)))) {
        c.MSHFlexGrid2->setCellText(row, column, FromSettingsText(*value));
      }
    }
  }

  if (!in.next(line)) return false;
  if ((value = valueOf(KeyOfLine(39)))) {
    std::optional<int> type = MeterTypeFromValue(*value);
    if (!type) return false;
    c.Option5[*type]->setChecked(true);
  }

  const std::pair<int, QComboBox*> unitBoxes[3] = {{40, c.Combo1}, {41, c.Combo3}, {42, c.Combo4}};
  for (const auto& [number, box] : unitBoxes) {
    if (!in.next(line)) return false;
    if ((value = valueOf(KeyOfLine(number)))) {
      std::optional<int16_t> position = ListPositionFromValue(*value, box->count());
      if (!position) return false;
      box->setCurrentIndex(*position);
    }
  }

  if (!in.next(line)) return false;  // line 43 is read and ignored

  if (!in.next(line)) return false;
  if ((value = valueOf(KeyOfLine(44)))) c.Text7->setText(FromSettingsText(*value));
  return true;
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

void LoadSettings(const WindowControls& c, Session& s) {
  QDir::setCurrent(s.settingsFolder());
  std::optional<StoredSettingsLines> stored =
      ReadSettingsLines(s.settingsFolder(), kSettingsLineCount);
  const bool onDisk = stored.has_value();
  // Only when the folder could not take the factory file: read those lines from memory.
  LineReader in(onDisk ? std::move(stored->lines) : SplitSettingsLines(DefaultSettingsFile()));
  ReadProgress read;
  const bool whole = ApplySettingsLines(in, c, s, read);
  if (whole) {
    SelectFirstPhoneEntry(c);
  } else if (read.marker == 5) {
    s.settings.DatabasePath = kDefaultDatabasePath;
    c.Text6->setText(QString::fromLatin1(kDefaultDatabasePath));
  }
  // The save at exit writes the window's values over whatever this file still held.
  if (onDisk && (!whole || read.keyMissing || stored->damaged)) {
    BackUpSettingsFile(s.settingsFolder());
  }
}

bool SaveSettings(const WindowControls& c, const Session& s) {
  QDir::setCurrent(s.settingsFolder());
  return ReplaceSettingsFile(s.settingsFolder(), FormatSettingsFile(CollectSettings(c, s)));
}

}  // namespace norvale
