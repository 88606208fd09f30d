#include "settings/settings_parse.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "settings/settings_lines.h"

namespace norvale {
namespace {

// Keeps a value that read; false for one that stops the reading.
template <typename Parsed, typename Field>
bool Take(const std::optional<Parsed>& parsed, Field& field) {
  if (parsed) field = *parsed;
  return parsed.has_value();
}

PhoneEntry& EntryOf(SavedSettings& v, size_t index) { return v.phoneBook[PhoneEntryOfLine(index)]; }

bool TakeValue(ParsedSettings& read, size_t index, const std::string& value,
               const SettingsListSizes& sizes) {
  SavedSettings& v = read.values;
  switch (kSettingsLines[index].kind) {
    case SettingKind::CommPort:
      return Take(CommPortFromValue(value), v.commPort);
    case SettingKind::CommBaud:
      v.commBaud = CommBaudFromValue(value);
      break;
    case SettingKind::FlowControl:
      v.hardwareFlow = HardwareFlowFromValue(value);
      break;
    case SettingKind::SlaveId:
      v.slaveIdText = value;
      return Take(SlaveIdFromText(value), read.slaveId);
    case SettingKind::LogFile:
      v.downloadSaveFile = value;
      break;
    case SettingKind::DatabasePath:
      v.databasePath = value;
      break;
    case SettingKind::UsePalmDatabase:
      v.usePalmDatabase = PalmCheckFromValue(value);
      break;
    case SettingKind::PalmFileSep:
      v.palmFileSep = SeparationFromValue(value);
      break;
    case SettingKind::PhoneItem:
      EntryOf(v, index).item = value;
      break;
    case SettingKind::PhoneNumber:
      EntryOf(v, index).phone = value;
      break;
    case SettingKind::PhoneDescription:
      EntryOf(v, index).description = value;
      break;
    case SettingKind::MeterType:
      return Take(MeterTypeFromValue(value), v.meterType);
    case SettingKind::FlowUnits:
      return Take(ListPositionFromValue(value, sizes.flowUnits), v.flowUnits);
    case SettingKind::FlowFormat:
      return Take(ListPositionFromValue(value, sizes.flowFormats), v.flowFormat);
    case SettingKind::VelocityUnits:
      return Take(ListPositionFromValue(value, sizes.velocityUnits), v.velocityUnits);
    case SettingKind::TotalUnits:
      break;
    case SettingKind::ModemInitString:
      v.modemInitString = value;
      break;
  }
  return true;
}

}  // namespace

ParsedSettings ParseSettingsLines(const std::vector<std::string>& lines,
                                  const SettingsListSizes& sizes) {
  ParsedSettings read;
  const size_t count = std::min(lines.size(), kSettingsLines.size());
  for (size_t index = 0; index < count; ++index) {
    const SettingsLine& line = kSettingsLines[index];
    // Line 43 is read past without a look at it.
    if (line.kind != SettingKind::TotalUnits) {
      std::optional<std::string> value = ValueForKey(lines[index], line.key);
      if (!value) {
        if (line.key == line.factoryKey) read.keyMissing = true;
      } else {
        read.present.set(index);
        if (!TakeValue(read, index, *value, sizes)) {
          read.failedLine = static_cast<int>(index) + 1;
          return read;
        }
      }
    }
    read.linesRead = static_cast<int>(index) + 1;
  }
  return read;
}

}  // namespace norvale
