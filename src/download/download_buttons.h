#pragma once

namespace norvale {

// The two download buttons, which a running download disables.
class DownloadButtons {
 public:
  virtual ~DownloadButtons() = default;
  virtual void setDownloadDataEnabled(bool enabled) = 0;   // "Download Data"
  virtual void setSinceLastTimeEnabled(bool enabled) = 0;  // "Since Last Time"
};

}  // namespace norvale
