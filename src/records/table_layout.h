#pragma once

#include <string>

#include "output/record_table.h"

namespace norvale {

// How the meter download and the handheld import lay out the record table before their rows.

// Which cells of row 1 the emphasis goes to: the meter download gives it to each title as it
// writes it, the handheld import to all ten cells at the start, whatever they come to hold.
enum class TitleEmphasis { TitlesOnly, WholeRow };

// The start both fillers share: "Record #" in row 1, column 0 and "Date / Time" in column 1,
// each emphasised before its text, and LastRow 1.
void StartTitleRow(RecordTable& table, TitleEmphasis emphasis);

// Channel k's name in row 1, column k + 1, emphasised.
void WriteChannelTitle(RecordTable& table, int channel, const std::string& name);

// Column widths in twips: 1000 for the record number, 1800 for the date and time, and
// `channelTwips` for each channel column (the download 2000, the import 1800).
void SetRecordColumnWidths(RecordTable& table, int channelTwips);

}  // namespace norvale
