#pragma once

#include <string_view>

#include "output/record_table.h"

namespace norvale {

// Puts the text of a log file that WriteLogFile stored back into an empty table: the title line
// "Date / Time,<channel titles>" into row 1, each further line into rows 2, 3, ... (date/time in
// column 1, the n-th field after it in channel n's column), and sets LastRow. Every titled
// channel is used; a title holding "Tot" marks a totaliser, as the download and the import mark
// them. Lines may end in CR LF or LF; blank lines are skipped, and lines past the table's last
// row are left out. False, with the table untouched, when the first line is no such title line.
bool ReadLogText(std::string_view text, RecordTable& table);

}  // namespace norvale
