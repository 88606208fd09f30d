#pragma once

#include <cstdio>
#include <string>

#include "download/download_buttons.h"
#include "download/download_view.h"

namespace norvale {

// Shows the download on standard error: every status text on a line of its own, the channel and
// record boxes as they fill, and a progress bar when standard error is a terminal.
class TerminalDownloadView : public DownloadView, public DownloadButtons {
 public:
  explicit TerminalDownloadView(std::FILE* out, bool isTerminal);
  ~TerminalDownloadView() override;

  void setStatusText(const std::string& text) override;
  void setProgress(int percent) override;
  void setChannelBox(int index, const std::string& text) override;
  void setWrittenFile(const std::string& path) override { writtenFile_ = path; }
  void setDownloadDataEnabled(bool) override {}
  void setSinceLastTimeEnabled(bool) override {}

  const std::string& lastStatus() const { return lastStatus_; }
  const std::string& writtenFile() const { return writtenFile_; }

 private:
  void endProgressLine();

  std::FILE* out_;
  bool isTerminal_;
  bool progressShown_ = false;
  int lastPercent_ = -1;
  std::string lastStatus_;
  std::string writtenFile_;
};

}  // namespace norvale
