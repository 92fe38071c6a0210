// COleException: an OLE failure by SCODE, thrown on the heap by AfxThrowOleException. Its
// message is the system text of the SCODE (FormatMessage, trailing line break removed), or
// "OLE error 0x%08X" when the system has none.
#include <cstdio>
#include <cstring>

#include "afxdisp.h"

IMPLEMENT_DYNAMIC(COleException, CException)

BOOL COleException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
  if (pnHelpContext) *pnHelpContext = 0;
  if (!lpszError || nMaxError == 0) return FALSE;
  char text[512];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           static_cast<DWORD>(m_sc), 0, text, sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r')) text[--n] = '\0';
  if (n == 0) std::snprintf(text, sizeof text, "OLE error 0x%08X", static_cast<unsigned>(m_sc));
  CString message(text);
  int length = message.GetLength() < static_cast<int>(nMaxError) - 1 ? message.GetLength()
                                                                     : static_cast<int>(nMaxError) - 1;
  std::memcpy(lpszError, static_cast<LPCTSTR>(message), static_cast<size_t>(length));
  lpszError[length] = '\0';
  return TRUE;
}

SCODE PASCAL COleException::Process(const CException* e) {
  if (!e) return E_UNEXPECTED;
  CException* any = const_cast<CException*>(e);
  if (any->IsKindOf(RUNTIME_CLASS(COleException))) return static_cast<COleException*>(any)->m_sc;
  if (any->IsKindOf(RUNTIME_CLASS(COleDispatchException))) {
    SCODE sc = static_cast<COleDispatchException*>(any)->m_scError;
    return sc ? sc : DISP_E_EXCEPTION;
  }
  if (any->IsKindOf(RUNTIME_CLASS(CMemoryException))) return E_OUTOFMEMORY;
  if (any->IsKindOf(RUNTIME_CLASS(CNotSupportedException))) return E_NOTIMPL;
  return E_UNEXPECTED;
}

void AFXAPI AfxThrowOleException(SCODE sc) {
  COleException* e = new COleException;
  e->m_sc = sc;
  throw e;
}
