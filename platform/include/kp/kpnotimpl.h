// The one marker for what this platform does not implement. Every gap reads
//
//   return KP_NOT_IMPLEMENTED("Recordset::Resync", "affect %d", (int)affect);
//   return KP_NOT_IMPLEMENTED("Fields::_NewEnum");
//
// which traces "kp: Recordset::Resync is not implemented (affect 1)" through OutputDebugStringA
// (the trace sink, or stderr under KP_TRACE) and is the value E_NOTIMPL. A gap that answers
// something else (a null BSTR, an unchanged state) calls kp::LogNotImplemented itself. Nothing
// that is not written is a silent no-op: `grep -rn "KP_NOT_IMPLEMENTED\|LogNotImplemented"
// platform` lists every gap (docs/gaps.md says how to read that list).
#pragma once
#include "kp/kpplatform.h"
#include "winerror.h"

namespace kp {

// Traces "kp: <function> is not implemented (<printf-formatted arguments>)" with a line break;
// without a format, "kp: <function> is not implemented".
KPAPI void LogNotImplemented(const char* function, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
KPAPI void LogNotImplemented(const char* function);

}  // namespace kp

#define KP_NOT_IMPLEMENTED(function, ...) \
  (::kp::LogNotImplemented(function __VA_OPT__(, ) __VA_ARGS__), E_NOTIMPL)
