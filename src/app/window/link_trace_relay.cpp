#include "app/window/link_trace_relay.h"

namespace norvale {

LinkTraceRelay::~LinkTraceRelay() { link_.setTrace(nullptr); }

void LinkTraceRelay::setWindowTrace(LinkTrace* trace) {
  window_ = trace;
  install();
}

void LinkTraceRelay::setRunTrace(LinkTrace* trace) {
  run_ = trace;
  install();
}

void LinkTraceRelay::install() { link_.setTrace(window_ || run_ ? this : nullptr); }

void LinkTraceRelay::traced(TraceEvent event, std::string_view bytes) {
  if (run_) run_->traced(event, bytes);
  if (window_) window_->traced(event, bytes);
}

}  // namespace norvale
