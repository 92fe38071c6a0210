// Debug output: OutputDebugStringA/W and the platform's trace sink behind them.
//
// On Windows the text goes to an attached debugger. Here it goes to a sink the host sets with
// kp::SetTraceSink (tests capture traces that way). With no sink set, the text is written to
// stderr, converted from GBK to UTF-8, only when the environment variable KP_TRACE is set;
// otherwise it is discarded, as on Windows with no debugger attached. The text is passed on
// as it is: a trailing line break is the caller's, as with the Windows call.
#pragma once
#include "windef.h"

extern "C" {
KPAPI void WINAPI OutputDebugStringA(LPCSTR lpOutputString);
// Converts the UTF-16 text to GBK and passes it on as OutputDebugStringA does.
KPAPI void WINAPI OutputDebugStringW(LPCWSTR lpOutputString);
KPAPI BOOL WINAPI IsDebuggerPresent(void);  // always FALSE
}
#define OutputDebugString OutputDebugStringA

namespace kp {
// Receives every debug-output text, GBK, NUL-terminated. ctx is the value given with the sink.
typedef void (*TraceSink)(const char* gbkText, void* ctx);
// Installs the process-wide sink; nullptr restores the default (stderr under KP_TRACE).
KPAPI void SetTraceSink(TraceSink sink, void* ctx);
KPAPI TraceSink GetTraceSink(void** ctx);
}  // namespace kp
