// The one error guard of the layer: runs an ADO call and, when it throws a _com_error, reports
// it in the operation's fixed way and answers the operation's failure value. Every operation
// that must not let ADO's error through is written as
//
//   return ado2::Guarded(ADO2_SHORT("GetState"), 0L, [&] { return m_pRecordset->GetState(); });
//
// The report is anything callable with the caught error: a trace form made by the macros below
// (the texts of ADOException.h, with the file and line of the guarded call for the long form),
// or a class's own error report (its dump_com_error, which also keeps the last error). Only
// _com_error is caught (GuardedAll also catches anything else, for the two connection opens
// that trace an unknown failure); other exceptions reach the caller unchanged.
#pragma once
#include <afx.h>
#include <comdef.h>

#include <utility>

#include "ADOException.h"

namespace ado2 {

// A trace of a caught COM error: the short form has the pattern and the system message; the
// long form also the source file and line where the guard was written.
class TraceForm {
 public:
  explicit TraceForm(LPCTSTR pattern) : m_pattern(pattern), m_file(nullptr), m_line(0) {}
  TraceForm(LPCTSTR pattern, LPCTSTR file, int line) : m_pattern(pattern), m_file(file), m_line(line) {}

  // Writes the trace (TraceComError or TraceComErrorAt).
  void operator()(const _com_error& e) const;

 private:
  LPCTSTR m_pattern;
  LPCTSTR m_file;  // null for the short form
  int m_line;
};

// body() as T; on a _com_error, report(e) and fallback.
template <class T, class Report, class Body>
T Guarded(const Report& report, T fallback, Body&& body) {
  try {
    return std::forward<Body>(body)();
  } catch (_com_error& e) {
    report(e);
    return fallback;
  }
}

// body() for an operation without a value; on a _com_error, report(e).
template <class Report, class Body>
void Guarded(const Report& report, Body&& body) {
  try {
    std::forward<Body>(body)();
  } catch (_com_error& e) {
    report(e);
  }
}

// As Guarded, and any other exception calls unknown() and gives fallback too.
template <class T, class Report, class Unknown, class Body>
T GuardedAll(const Report& report, const Unknown& unknown, T fallback, Body&& body) {
  try {
    return std::forward<Body>(body)();
  } catch (_com_error& e) {
    report(e);
    return fallback;
  } catch (...) {
    unknown();
    return fallback;
  }
}

}  // namespace ado2

// The trace forms, with the texts of ADO2_TRACE_SHORT, ADO2_TRACE_METHOD and ADO2_TRACE_AT:
// ADO2_SHORT("BeginTrans") traces ":( BeginTrans发生异常: %s\n"; ADO2_METHOD("Execute")
// "Warning: Execute 方法发生异常. 错误信息: %s; 文件: %s; 行: %d\n" with this file and line;
// ADO2_AT(pattern) a whole long-form pattern with this file and line.
#define ADO2_SHORT(operation) ::ado2::TraceForm(ADO2_SHORT_PATTERN(operation))
#define ADO2_METHOD(operation) ::ado2::TraceForm(ADO2_METHOD_PATTERN(operation), __FILE__, __LINE__)
#define ADO2_AT(pattern) ::ado2::TraceForm(pattern, __FILE__, __LINE__)
