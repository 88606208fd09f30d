#pragma once

#include <string>
#include <vector>

#include "archive/logged_values.h"

namespace norvale {

// The lines of an export, exactly as WriteLogFile writes a downloaded table, so that a program
// that reads one reads the other.

// "Date / Time,<name>,<name>" and CR LF: a title per channel, in the order given.
std::string CsvTitleLine(const std::vector<ChannelName>& channels);

// Appends "3/6/2021 1:30:00 PM, 1.5,,-2" and CR LF: the row's time as GeneralDateText and a
// cell per channel of `channels`, the value's NumberText or empty where the row has none.
void AppendCsvLine(std::string& out, const LoggedRow& row,
                   const std::vector<ChannelName>& channels);

}  // namespace norvale
