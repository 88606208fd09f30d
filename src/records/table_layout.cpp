#include "records/table_layout.h"

namespace norvale {
namespace {

constexpr int kTitleRow = 1;
constexpr int kRecordNumberTwips = 1000;
constexpr int kDateTimeTwips = 1800;

void writeTitle(RecordTable& table, int column, const std::string& text) {
  table.setEmphasised(kTitleRow, column, true);
  table.setCell(kTitleRow, column, text);
}

}  // namespace

void StartTitleRow(RecordTable& table, TitleEmphasis emphasis) {
  if (emphasis == TitleEmphasis::WholeRow) {
    for (int column = 2; column < RecordTable::kColumns; ++column) {
      table.setEmphasised(kTitleRow, column, true);
    }
  }
  writeTitle(table, 0, "Record #");
  writeTitle(table, 1, "Date / Time");
  table.LastRow = 1;
}

void WriteChannelTitle(RecordTable& table, int channel, const std::string& name) {
  writeTitle(table, channel + 1, name);
}

void SetRecordColumnWidths(RecordTable& table, int channelTwips) {
  table.setColumnWidth(0, kRecordNumberTwips);
  table.setColumnWidth(1, kDateTimeTwips);
  for (int column = 2; column < RecordTable::kColumns; ++column) {
    table.setColumnWidth(column, channelTwips);
  }
}

}  // namespace norvale
