#pragma once

#include <cstdio>
#include <string>

#include "download/download_buttons.h"
#include "download/download_view.h"
#include "output/record_table.h"

namespace norvale {

// Shows the download on standard error: every status text on a line of its own, the channel and
// record boxes as they fill, and a progress bar when standard error is a terminal. The bar is
// redrawn in place on the last line; other lines go above it, and finish() takes it away, so
// the scrollback keeps no stale bar and the cursor ends at the start of a line.
class TerminalDownloadView : public DownloadView, public DownloadButtons {
 public:
  // `records`: the table the download fills, counted when the file is written.
  TerminalDownloadView(std::FILE* out, bool isTerminal, const RecordTable& records);
  ~TerminalDownloadView() override;

  void setStatusText(const std::string& text) override;
  void setProgress(int percent) override;
  void setChannelBox(int index, const std::string& text) override;
  // Also says how many logged times went to the file, so the final status comes right after.
  void setWrittenFile(const std::string& path) override;
  void showWriteFailure(const std::string& path, const std::string& failure) override;
  void setDownloadDataEnabled(bool) override {}
  void setSinceLastTimeEnabled(bool) override {}

  // A line of its own, above the progress bar.
  void printLine(const std::string& text);
  // The last status again when other lines came after it, so that it stays the last line.
  void restateStatus();
  // Takes the progress bar away.
  void finish();

  const std::string& lastStatus() const { return lastStatus_; }
  const std::string& writtenFile() const { return writtenFile_; }

 private:
  void drawBar();
  void eraseBar();

  std::FILE* out_;
  bool isTerminal_;
  const RecordTable& records_;
  bool barShown_ = false;
  int percent_ = -1;
  bool statusIsLastLine_ = false;
  std::string lastStatus_;
  std::string writtenFile_;
};

}  // namespace norvale
