// The status lines and the progress bar as a terminal shows them.
#include "cli/terminal/terminal_download_view.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace norvale {
namespace {

// The screen lines the bytes leave on a terminal: a carriage return goes back to the start of
// the line and what follows overwrites it. The last entry is the line the cursor is on.
std::vector<std::string> Screen(const std::string& bytes) {
  std::vector<std::string> lines(1);
  size_t column = 0;
  for (char c : bytes) {
    if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      lines.emplace_back();
      column = 0;
    } else {
      std::string& line = lines.back();
      if (column < line.size()) {
        line[column] = c;
      } else {
        line += c;
      }
      ++column;
    }
  }
  for (std::string& line : lines) line.erase(line.find_last_not_of(' ') + 1);
  return lines;
}

TEST(TerminalDownloadView, BarStaysOnTheLastLineAndLeavesNothingBehind) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  RecordTable records;
  records.LastRow = 3;
  {
    TerminalDownloadView view(out, true, records);
    view.setStatusText("Downloading");
    view.setProgress(0);
    view.setChannelBox(0, "Flow");
    view.setProgress(96);
    view.setStatusText("Completed Download.");
    view.setProgress(100);
    view.setWrittenFile("/data/log.csv");
    view.setStatusText("Finished. Data in File");
    // The bar is on screen, under the last line, until the end.
    std::fflush(out);
    std::string shown(static_cast<size_t>(std::ftell(out)), '\0');
    std::rewind(out);
    ASSERT_EQ(std::fread(shown.data(), 1, shown.size(), out), shown.size());
    EXPECT_EQ(Screen(shown).back(), "[" + std::string(40, '#') + "] 100%");
    std::fseek(out, 0, SEEK_END);
  }  // as a command that ends, or is interrupted, takes the view away
  std::string bytes(static_cast<size_t>(std::ftell(out)), '\0');
  std::rewind(out);
  ASSERT_EQ(std::fread(bytes.data(), 1, bytes.size(), out), bytes.size());
  std::fclose(out);
  EXPECT_EQ(Screen(bytes),
            (std::vector<std::string>{"Downloading", "Channel #1: Flow", "Completed Download.",
                                      "2 logged times written to /data/log.csv",
                                      "Finished. Data in File", ""}));
}

}  // namespace
}  // namespace norvale
