// The database layer's exception class CADOException and ThrowADOException, and the three ways
// the layer reports an ADO failure (the one formatting routine behind each of them lives here):
//
// - the class error report: "CLASS Error\n\tCode = %08lx\n\tCode meaning = %s\n\tSource = %s\n
//   \tDescription = %s\n" built from a caught _com_error, shown in an application message box
//   with the error icon; each class stores it in its own last-error fields (dump_com_error);
// - the short trace ":( OPERATION发生异常: %s\n" with the system message of the HRESULT;
// - the long trace "Warning: OPERATION 方法发生异常. 错误信息: %s; 文件: %s; 行: %d\n" with the
//   system message, the source file and the line of the failing call.
//
// Traces go through TRACE to the platform's trace sink; nothing there reaches the user. The
// system message is _com_error::ErrorMessage(): the platform's text for the HRESULT, "IDispatch
// error #N" for 0x80040200..0x8004FFFF, else "Unknown error 0x...". A COM error that carries no
// error information reports empty source and description fields.
//
// Nothing in the layer throws or catches CADOException; it is part of the layer's interface.
#pragma once
#include <afx.h>
#include <comdef.h>

class CADOException : public CException {
  DECLARE_DYNAMIC(CADOException)
 public:
  // Made with automatic deletion on: the catcher calls Delete().
  explicit CADOException(long lErrorCode = 0, LPCTSTR lpszErrorText = "");
  ~CADOException() override;

  long m_lErrorCode;
  CString m_strErrorText;
};

// Allocates a CADOException with both values on the heap and throws the pointer.
[[noreturn]] void AFXAPI ThrowADOException(long lErrorCode = 0, const CString& strErrorText = CString());

namespace ado2 {

// The class error report text for a caught COM error; className is "CADODataBase", ...
CString FormatComErrorReport(LPCTSTR className, const _com_error& e);
// Shows the report in an application message box (MB_OK | MB_ICONERROR) and waits for it.
void ShowComErrorReport(const CString& report);
// A trace whose only argument is the system message of e's HRESULT (the short style).
void TraceComError(LPCTSTR pattern, const _com_error& e);
// A trace with the system message, a source file name and a line (the long style).
void TraceComErrorAt(LPCTSTR pattern, const _com_error& e, LPCTSTR file, int line);
// The system message of an HRESULT, as the traces and reports print it.
CString SystemMessage(HRESULT hr);
// Narrow (GBK) text of a _bstr_t; a null BSTR gives "".
CString BstrText(const _bstr_t& text);

// The class context every ADO object of the layer is created with (in-process server and
// handler, local server: 7).
constexpr DWORD kServerContext = 1 | 2 | 4;

// Shared by the classes: a VARIANT of type vt whose value `set` fills in; an index key as ADO
// takes it (VT_I4) and a name key (a BSTR); the full 32-bit count ADO left in a
// records-affected VARIANT (0 for none).
template <typename Set>
_variant_t MakeVariant(VARTYPE vt, Set set) {
  _variant_t value;
  value.vt = vt;
  set(static_cast<VARIANT&>(value));
  return value;
}
inline _variant_t IndexKey(long index) {
  return MakeVariant(VT_I4, [&](VARIANT& v) { v.lVal = static_cast<LONG>(index); });
}
inline _variant_t NameKey(LPCTSTR name) {
  return _variant_t(name);
}
int RecordsAffected(const _variant_t& count);

}  // namespace ado2

// The two patterns built from an operation name (the error guard's trace forms use them too).
#define ADO2_SHORT_PATTERN(operation) ":( " operation "发生异常: %s\n"
#define ADO2_METHOD_PATTERN(operation) "Warning: " operation " 方法发生异常. 错误信息: %s; 文件: %s; 行: %d\n"
// Short style: ADO2_TRACE_SHORT("BeginTrans", e) writes ":( BeginTrans发生异常: %s\n".
#define ADO2_TRACE_SHORT(operation, e) ::ado2::TraceComError(ADO2_SHORT_PATTERN(operation), e)
// Long style with " 方法": ADO2_TRACE_METHOD("Execute", e) writes
// "Warning: Execute 方法发生异常. 错误信息: %s; 文件: %s; 行: %d\n" with this file and line.
#define ADO2_TRACE_METHOD(operation, e) \
  ::ado2::TraceComErrorAt(ADO2_METHOD_PATTERN(operation), e, __FILE__, __LINE__)
// Long style with another operation text: the pattern is given whole.
#define ADO2_TRACE_AT(pattern, e) ::ado2::TraceComErrorAt(pattern, e, __FILE__, __LINE__)
