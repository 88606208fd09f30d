#pragma once

#include <functional>
#include <string>

namespace norvale {

// The one message box of the link. Text and title are fixed; details carry the system's reason
// so that a user can fix it (permissions, a busy device, a missing adapter).
struct PortErrorMessage {
  std::string text = "Communications Port not Valid";
  std::string title = "Comm Error";
  std::string details;
};

using PortErrorReporter = std::function<void(const PortErrorMessage&)>;

}  // namespace norvale
