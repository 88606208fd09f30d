#include "cli/terminal/terminal_download_view.h"

namespace norvale {
namespace {

constexpr int kBarWidth = 40;
// "[" bar "] " and "100%".
constexpr int kBarLineWidth = kBarWidth + 7;

}  // namespace

TerminalDownloadView::TerminalDownloadView(std::FILE* out, bool isTerminal,
                                           const RecordTable& records)
    : out_(out), isTerminal_(isTerminal), records_(records) {}

TerminalDownloadView::~TerminalDownloadView() { finish(); }

void TerminalDownloadView::drawBar() {
  const int filled = percent_ * kBarWidth / 100;
  std::string bar(static_cast<size_t>(filled), '#');
  bar.resize(kBarWidth, ' ');
  std::fprintf(out_, "\r[%s] %3d%%", bar.c_str(), percent_);
  std::fflush(out_);
  barShown_ = true;
}

// Blanks rather than an escape sequence, which not every terminal knows.
void TerminalDownloadView::eraseBar() {
  if (!barShown_) return;
  std::fprintf(out_, "\r%*s\r", kBarLineWidth, "");
  barShown_ = false;
}

void TerminalDownloadView::printLine(const std::string& text) {
  const bool redraw = barShown_;
  eraseBar();
  std::fprintf(out_, "%s\n", text.c_str());
  statusIsLastLine_ = false;
  if (redraw) drawBar();
  std::fflush(out_);
}

void TerminalDownloadView::setStatusText(const std::string& text) {
  printLine(text);
  lastStatus_ = text;
  statusIsLastLine_ = true;
}

void TerminalDownloadView::restateStatus() {
  if (!statusIsLastLine_ && !lastStatus_.empty()) setStatusText(lastStatus_);
}

void TerminalDownloadView::finish() {
  eraseBar();
  std::fflush(out_);
}

void TerminalDownloadView::setProgress(int percent) {
  if (!isTerminal_ || percent == percent_) return;
  percent_ = percent;
  drawBar();
}

void TerminalDownloadView::setChannelBox(int index, const std::string& text) {
  if (text.empty()) return;
  if (index < 8) {
    printLine("Channel #" + std::to_string(index + 1) + ": " + text);
  } else {
    printLine((index == 8 ? "Records available: " : "Records used: ") + text);
  }
}

void TerminalDownloadView::setWrittenFile(const std::string& path) {
  writtenFile_ = path;
  const int loggedTimes = records_.LastRow > 1 ? records_.LastRow - 1 : 0;
  printLine(std::to_string(loggedTimes) + " logged times written to " + path);
}

void TerminalDownloadView::showWriteFailure(const std::string& path, const std::string& failure) {
  printLine("norvale-cli: cannot write " + path + ": " + failure);
}

}  // namespace norvale
