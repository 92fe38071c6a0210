// Test helper: collects what the code under test writes to the trace sink while it is alive.
#pragma once
#include <string>

#include "debugapi.h"

class TraceCapture {
 public:
  TraceCapture() { kp::SetTraceSink(&TraceCapture::Sink, this); }
  ~TraceCapture() { kp::SetTraceSink(nullptr, nullptr); }
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;
  const std::string& text() const { return text_; }
  void clear() { text_.clear(); }

 private:
  static void Sink(const char* gbkText, void* ctx) { static_cast<TraceCapture*>(ctx)->text_ += gbkText; }
  std::string text_;
};
