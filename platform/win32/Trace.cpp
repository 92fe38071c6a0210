// Debug output (debugapi.h): OutputDebugStringA/W, the process-wide trace sink, and the trace
// of the not-implemented marker (kp/kpnotimpl.h).
//
// Windows hands the text to an attached debugger and drops it otherwise. Here the host (or a
// test) installs a sink; without one, the text goes to stderr as UTF-8 when the environment
// variable KP_TRACE is set (read on each call, so a test may set it late) and is dropped when it
// is not. The sink is called under a lock, one text at a time, so a sink needs no locking of its
// own and texts from several threads do not interleave; a sink must not install another sink.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "debugapi.h"
#include "kp/kpnotimpl.h"
#include "winnls.h"

namespace {

std::mutex& SinkMutex() {
  static std::mutex* m = new std::mutex();  // usable by static destructors of any library
  return *m;
}
kp::TraceSink g_sink = nullptr;
void* g_sinkContext = nullptr;

void DefaultSink(const char* gbkText) {
  if (getenv("KP_TRACE") == nullptr) return;
  std::string utf8 = kp::GbkToUtf8(gbkText);
  fputs(utf8.c_str(), stderr);
  fflush(stderr);
}

}  // namespace

namespace kp {

void SetTraceSink(TraceSink sink, void* ctx) {
  std::lock_guard<std::mutex> lock(SinkMutex());
  g_sink = sink;
  g_sinkContext = sink != nullptr ? ctx : nullptr;
}

TraceSink GetTraceSink(void** ctx) {
  std::lock_guard<std::mutex> lock(SinkMutex());
  if (ctx != nullptr) *ctx = g_sinkContext;
  return g_sink;
}

void LogNotImplemented(const char* function, const char* format, ...) {
  char arguments[512];
  va_list args;
  va_start(args, format);
  vsnprintf(arguments, sizeof arguments, format, args);
  va_end(args);
  std::string text = std::string("kp: ") + function + " is not implemented (" + arguments + ")\n";
  OutputDebugStringA(text.c_str());
}

void LogNotImplemented(const char* function) {
  OutputDebugStringA((std::string("kp: ") + function + " is not implemented\n").c_str());
}

}  // namespace kp

extern "C" {

void WINAPI OutputDebugStringA(LPCSTR lpOutputString) {
  if (lpOutputString == nullptr) return;
  std::lock_guard<std::mutex> lock(SinkMutex());
  if (g_sink != nullptr)
    g_sink(lpOutputString, g_sinkContext);
  else
    DefaultSink(lpOutputString);
}

void WINAPI OutputDebugStringW(LPCWSTR lpOutputString) {
  if (lpOutputString == nullptr) return;
  size_t n = 0;
  while (lpOutputString[n] != 0) n++;
  OutputDebugStringA(kp::Narrow(lpOutputString, n).c_str());
}

BOOL WINAPI IsDebuggerPresent(void) {
  return FALSE;
}

}  // extern "C"
