#pragma once

#include <string_view>

#include "link/link_trace.h"
#include "link/meter_link.h"

namespace norvale {

// The link tells one trace; the "Line Trace" window and a download's own count of what went
// wrong both listen. Installed on the link only while one of them does.
class LinkTraceRelay : public LinkTrace {
 public:
  explicit LinkTraceRelay(MeterLink& link) : link_(link) {}
  ~LinkTraceRelay() override;
  LinkTraceRelay(const LinkTraceRelay&) = delete;
  LinkTraceRelay& operator=(const LinkTraceRelay&) = delete;

  // nullptr stops either.
  void setWindowTrace(LinkTrace* trace);
  void setRunTrace(LinkTrace* trace);

  void traced(TraceEvent event, std::string_view bytes) override;

 private:
  void install();

  MeterLink& link_;
  LinkTrace* window_ = nullptr;
  LinkTrace* run_ = nullptr;
};

}  // namespace norvale
