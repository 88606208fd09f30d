#pragma once

#include <string>

namespace norvale {

// The display boxes of the "Display Meter " page: 0..3 the value (or display) lines, 4 the
// alarms. Byte text, one char per byte.
class LiveDisplayView {
 public:
  virtual ~LiveDisplayView() = default;
  virtual void setDisplayLine(int index, const std::string& text) = 0;
};

}  // namespace norvale
