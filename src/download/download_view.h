#pragma once

#include <string>

namespace norvale {

// What the download shows while it works: the status line, the progress bar and the ten boxes
// of the Download tab (0..7 channel names, 8 records available, 9 records used).
class DownloadView {
 public:
  virtual ~DownloadView() = default;
  virtual void setStatusText(const std::string& text) = 0;
  virtual void setProgress(int percent) = 0;
  virtual void setChannelBox(int index, const std::string& text) = 0;
  // The absolute path of the CSV file just written.
  virtual void setWrittenFile(const std::string& path) = 0;
  // The CSV file at `path` could not be written: the system's words, shown before the final
  // status.
  virtual void showWriteFailure(const std::string& /*path*/, const std::string& failure) {
    setStatusText(failure);
  }
};

}  // namespace norvale
