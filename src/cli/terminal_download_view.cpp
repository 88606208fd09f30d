#include "cli/terminal_download_view.h"

namespace norvale {
namespace {

constexpr int kBarWidth = 40;

}  // namespace

TerminalDownloadView::TerminalDownloadView(std::FILE* out, bool isTerminal)
    : out_(out), isTerminal_(isTerminal) {}

TerminalDownloadView::~TerminalDownloadView() { endProgressLine(); }

void TerminalDownloadView::endProgressLine() {
  if (progressShown_) {
    std::fputc('\n', out_);
    progressShown_ = false;
  }
}

void TerminalDownloadView::setStatusText(const std::string& text) {
  endProgressLine();
  lastStatus_ = text;
  std::fprintf(out_, "%s\n", text.c_str());
  std::fflush(out_);
}

void TerminalDownloadView::setProgress(int percent) {
  if (!isTerminal_ || percent == lastPercent_) return;
  lastPercent_ = percent;
  int filled = percent * kBarWidth / 100;
  std::string bar(static_cast<size_t>(filled), '#');
  bar.resize(kBarWidth, ' ');
  std::fprintf(out_, "\r[%s] %3d%%", bar.c_str(), percent);
  std::fflush(out_);
  progressShown_ = true;
}

void TerminalDownloadView::setChannelBox(int index, const std::string& text) {
  if (text.empty()) return;
  endProgressLine();
  if (index < 8) {
    std::fprintf(out_, "Channel #%d: %s\n", index + 1, text.c_str());
  } else {
    std::fprintf(out_, "%s: %s\n", index == 8 ? "Records available" : "Records used", text.c_str());
  }
}

}  // namespace norvale
