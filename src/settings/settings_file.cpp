#include "settings/settings_file.h"

#include <cstdint>

#include "settings/settings_lines.h"
#include "text/leading_number.h"

namespace norvale {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

void AddLine(std::string& file, std::string_view key, std::string_view value) {
  file.append(key).append("=");
  for (char c : value) {
    if (c != '\r' && c != '\n') file.push_back(c);
  }
  file.append(kLineEnd);
}

// List positions are written the classic way: " 1" for a position, "-1" for none.
std::string ListPositionText(int position) {
  std::string text = position < 0 ? "" : " ";
  return text.append(std::to_string(position));
}

// The text the save writes on line index + 1.
std::string SavedValue(const SavedSettings& s, size_t index) {
  switch (kSettingsLines[index].kind) {
    case SettingKind::CommPort:
      return std::to_string(s.commPort);
    case SettingKind::CommBaud:
      return s.commBaud;
    case SettingKind::FlowControl:
      return s.hardwareFlow ? "Hardware" : "none";
    case SettingKind::SlaveId:
      return s.slaveIdText;
    case SettingKind::LogFile:
      return s.downloadSaveFile;
    case SettingKind::DatabasePath:
      return s.databasePath;
    case SettingKind::UsePalmDatabase:
      return std::to_string(static_cast<int>(s.usePalmDatabase));
    case SettingKind::PalmFileSep:
      return std::to_string(s.palmFileSep);
    case SettingKind::PhoneItem:
      return s.phoneBook[PhoneEntryOfLine(index)].item;
    case SettingKind::PhoneNumber:
      return s.phoneBook[PhoneEntryOfLine(index)].phone;
    case SettingKind::PhoneDescription:
      return s.phoneBook[PhoneEntryOfLine(index)].description;
    case SettingKind::MeterType:
      return std::to_string(s.meterType);
    case SettingKind::FlowUnits:
      return ListPositionText(s.flowUnits);
    case SettingKind::FlowFormat:
      return ListPositionText(s.flowFormat);
    case SettingKind::VelocityUnits:
      return ListPositionText(s.velocityUnits);
    case SettingKind::TotalUnits:
      return " ";
    case SettingKind::ModemInitString:
      return s.modemInitString;
  }
  return {};
}

}  // namespace

std::string DefaultSettingsFile() {
  std::string file;
  for (const SettingsLine& line : kSettingsLines) AddLine(file, line.factoryKey, line.factoryValue);
  return file;
}

SettingsLineSplitter::SettingsLineSplitter(size_t maxLines, size_t maxLineLength)
    : maxLines_(maxLines), maxLineLength_(maxLineLength) {}

void SettingsLineSplitter::feed(std::string_view piece) {
  while (!piece.empty() && !full()) {
    size_t end = piece.find_first_of("\r\n");
    std::string_view part = piece.substr(0, end);
    const size_t room = maxLineLength_ - line_.size();
    if (part.size() > room) cutLine_ = true;
    line_.append(part.substr(0, room));
    if (end == std::string_view::npos) break;
    endLine();
    piece.remove_prefix(end + 1);
  }
}

void SettingsLineSplitter::finish() { endLine(); }

void SettingsLineSplitter::endLine() {
  if (firstLine_ && line_.starts_with(kByteOrderMark)) {
    line_.erase(0, kByteOrderMark.size());
    byteOrderMark_ = true;
  }
  firstLine_ = false;
  if (!line_.empty() && !full()) lines_.push_back(std::move(line_));
  line_.clear();
}

std::vector<std::string> SplitSettingsLines(std::string_view bytes) {
  SettingsLineSplitter splitter(SIZE_MAX, SIZE_MAX);
  splitter.feed(bytes);
  splitter.finish();
  return splitter.takeLines();
}

std::optional<std::string> ValueForKey(std::string_view line, std::string_view key) {
  if (line.find(key) == std::string_view::npos) return std::nullopt;
  size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::string();
  return std::string(line.substr(equals + 1));
}

std::optional<int16_t> CommPortFromValue(std::string_view value) {
  std::optional<int16_t> port = ToInt16HalfEven(LeadingNumberValue(value));
  if (!port) return std::nullopt;
  return *port >= 1 && *port <= 7 ? *port : int16_t{1};
}

std::string CommBaudFromValue(std::string_view value) {
  double number = LeadingNumberValue(value);
  for (std::string_view rate : kBaudRates) {
    if (number == LeadingNumberValue(rate)) return std::string(rate);
  }
  return "38400";
}

bool HardwareFlowFromValue(std::string_view value) { return value == "Hardware"; }

std::optional<int16_t> SlaveIdFromText(std::string_view text) {
  return ToInt16HalfEven(LeadingNumberValue(text));
}

PalmCheck PalmCheckFromValue(std::string_view value) {
  if (value == "1") return PalmCheck::Ticked;
  if (value == "2") return PalmCheck::Greyed;
  return PalmCheck::Clear;
}

int SeparationFromValue(std::string_view value) { return value == "2" ? 2 : 0; }

std::optional<int> MeterTypeFromValue(std::string_view value) {
  std::optional<double> number = WholeNumberValue(value);
  if (!number) return std::nullopt;
  if (*number == 1) return 1;
  if (*number == 2) return 2;
  return 0;
}

std::optional<int16_t> ListPositionFromValue(std::string_view value, int entries) {
  std::optional<double> number = WholeNumberValue(value);
  if (!number) return std::nullopt;
  std::optional<int16_t> position = ToInt16HalfEven(*number);
  if (!position || *position < -1 || *position >= entries) return std::nullopt;
  return position;
}

std::string FormatSettingsFile(const SavedSettings& s) {
  std::string file;
  for (size_t index = 0; index < kSettingsLines.size(); ++index) {
    AddLine(file, kSettingsLines[index].key, SavedValue(s, index));
  }
  return file;
}

}  // namespace norvale
