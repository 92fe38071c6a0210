// CADOException and the layer's report and trace routines (see ADOException.h).
#include "ADOException.h"

#include <afxwin.h>
#include <oleauto.h>

IMPLEMENT_DYNAMIC(CADOException, CException)

CADOException::CADOException(long lErrorCode, LPCTSTR lpszErrorText)
    : CException(TRUE), m_lErrorCode(lErrorCode), m_strErrorText(lpszErrorText) {}

CADOException::~CADOException() {}

void AFXAPI ThrowADOException(long lErrorCode, const CString& strErrorText) {
  throw new CADOException(lErrorCode, strErrorText);
}

namespace ado2 {

CString BstrText(const _bstr_t& text) {
  const char* narrow = static_cast<const char*>(text);
  return CString(narrow != nullptr ? narrow : "");
}

int RecordsAffected(const _variant_t& count) {
  VARIANT v;
  VariantInit(&v);
  if (FAILED(VariantChangeType(&v, &count, 0, VT_I4))) return 0;
  return static_cast<int>(v.lVal);
}

CString SystemMessage(HRESULT hr) {
  _com_error e(hr);
  return CString(e.ErrorMessage());
}

CString FormatComErrorReport(LPCTSTR className, const _com_error& e) {
  CString source = BstrText(e.Source());
  CString description = BstrText(e.Description());
  CString report;
  report.Format("%s Error\n\tCode = %08lx\n\tCode meaning = %s\n\tSource = %s\n\tDescription = %s\n",
                className, e.Error(), (LPCTSTR)CString(e.ErrorMessage()), (LPCTSTR)source,
                (LPCTSTR)description);
  return report;
}

void ShowComErrorReport(const CString& report) {
  AfxMessageBox(report, MB_OK | MB_ICONERROR);
}

void TraceComError(LPCTSTR pattern, const _com_error& e) {
  TRACE(pattern, (LPCTSTR)CString(e.ErrorMessage()));
}

void TraceComErrorAt(LPCTSTR pattern, const _com_error& e, LPCTSTR file, int line) {
  TRACE(pattern, (LPCTSTR)CString(e.ErrorMessage()), file, line);
}

}  // namespace ado2
