#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "settings/settings_file.h"

namespace norvale {

// What a line of the settings file holds, and so how its value is read and written.
enum class SettingKind {
  CommPort,
  CommBaud,
  FlowControl,
  SlaveId,
  LogFile,
  DatabasePath,
  UsePalmDatabase,
  PalmFileSep,
  PhoneItem,
  PhoneNumber,
  PhoneDescription,
  MeterType,
  FlowUnits,
  FlowFormat,
  VelocityUnits,
  TotalUnits,  // read past and never used; the save writes it blank
  ModemInitString,
};

struct SettingsLine {
  std::string_view key;  // what the save writes and the reader looks for
  std::string_view factoryValue;
  SettingKind kind;
  // The factory file's key where it differs from the save's. The reader does not know it, so a
  // factory file's line keeps the window's value, and its absence is not a damaged file.
  std::string_view factoryKey = key;
};

// The 44 lines in file order: the factory file, the save and the reader all walk this table.
inline constexpr std::array<SettingsLine, kSettingsLineCount> kSettingsLines{{
    {"[Commport]", "1", SettingKind::CommPort},
    {"[CommBaud]", "38400", SettingKind::CommBaud},
    {"[CommHandshaking]", "Hardware", SettingKind::FlowControl, "[CommFlow]"},
    {"[CommSlaveID]", "001", SettingKind::SlaveId},
    {"[DownloadSaveFile]", "Logdata.csv", SettingKind::LogFile},
    {"[PalmDatabaseFile]", kDefaultDatabasePath, SettingKind::DatabasePath},
    {"[USEPalmDatabase]", "0", SettingKind::UsePalmDatabase},
    {"[PalmFileSep]", "0", SettingKind::PalmFileSep},
    {"[Item#]", " 1", SettingKind::PhoneItem},
    {"[ItemPhone#]", " ", SettingKind::PhoneNumber},
    {"[ItemDescription]", " ", SettingKind::PhoneDescription},
    {"[Item#]", " 2", SettingKind::PhoneItem},
    {"[ItemPhone#]", " ", SettingKind::PhoneNumber},
    {"[ItemDescription]", " ", SettingKind::PhoneDescription},
    {"[Item#]", " 3", SettingKind::PhoneItem},
    {"[ItemPhone#]", " ", SettingKind::PhoneNumber},
    {"[ItemDescription]", " ", SettingKind::PhoneDescription},
    {"[Item#]", " 4", SettingKind::PhoneItem},
    {"[ItemPhone#]", " ", SettingKind::PhoneNumber},
    {"[ItemDescription]", " ", SettingKind::PhoneDescription},
    {"[Item#]", " 5", SettingKind::PhoneItem},
    {"[ItemPhone#]", " ", SettingKind::PhoneNumber},
    {"[ItemDescription]", " ", SettingKind::PhoneDescription},
    {"[Item#]", " 6", SettingKind::PhoneItem},
    {"[ItemPhone#]", " ", SettingKind::PhoneNumber},
    {"[ItemDescription]", " ", SettingKind::PhoneDescription},
    {"[Item#]", " 7", SettingKind::PhoneItem},
    {"[ItemPhone#]", " ", SettingKind::PhoneNumber},
    {"[ItemDescription]", " ", SettingKind::PhoneDescription},
    {"[Item#]", " 8", SettingKind::PhoneItem},
    {"[ItemPhone#]", " ", SettingKind::PhoneNumber},
    {"[ItemDescription]", " ", SettingKind::PhoneDescription},
    {"[Item#]", " 9", SettingKind::PhoneItem},
    {"[ItemPhone#]", " ", SettingKind::PhoneNumber},
    {"[ItemDescription]", " ", SettingKind::PhoneDescription},
    {"[Item#]", " 10", SettingKind::PhoneItem},
    {"[ItemPhone#]", " ", SettingKind::PhoneNumber},
    {"[ItemDescription]", " ", SettingKind::PhoneDescription},
    {"[MeterType]", "0", SettingKind::MeterType},
    {"[FlowUnits]", "1", SettingKind::FlowUnits},
    {"[FlowFormat]", "1", SettingKind::FlowFormat},
    {"[VelocityUnits]", "1", SettingKind::VelocityUnits},
    {"[TotalizerUnits]", "1", SettingKind::TotalUnits, "[TotalUnits]"},
    {"[ModemInitString]", "ATE0 S0=2 &C0", SettingKind::ModemInitString},
}};

// The phone book fills lines 9 to 38, one entry of three lines after another.
inline constexpr size_t kFirstPhoneLine = 8;  // index into kSettingsLines

constexpr size_t PhoneEntryOfLine(size_t index) { return (index - kFirstPhoneLine) / 3; }

constexpr bool PhoneLinesInPlace() {
  constexpr SettingKind kEntry[3] = {SettingKind::PhoneItem, SettingKind::PhoneNumber,
                                     SettingKind::PhoneDescription};
  for (size_t line = 0; line < 3 * kPhoneBookEntries; ++line) {
    if (kSettingsLines[kFirstPhoneLine + line].kind != kEntry[line % 3]) return false;
  }
  return true;
}
static_assert(PhoneLinesInPlace(), "the phone book is ten entries of three lines from line 9");

}  // namespace norvale
