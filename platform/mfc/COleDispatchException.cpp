// COleDispatchException: an automation exception (DISP_E_EXCEPTION) with the server's code,
// SCODE, source, description and help reference, as InvokeHelper fills it from EXCEPINFO;
// servers written with this library raise one with AfxThrowOleDispatchException.
#include <cstring>

#include "afxdisp.h"

IMPLEMENT_DYNAMIC(COleDispatchException, CException)

COleDispatchException::COleDispatchException(LPCTSTR lpszDescription, UINT nHelpID, WORD wCode)
    : m_wCode(wCode), m_scError(0), m_strDescription(lpszDescription), m_dwHelpContext(nHelpID) {}

BOOL COleDispatchException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
  if (pnHelpContext) *pnHelpContext = m_dwHelpContext;
  if (!lpszError || nMaxError == 0) return FALSE;
  int length = m_strDescription.GetLength() < static_cast<int>(nMaxError) - 1
                   ? m_strDescription.GetLength()
                   : static_cast<int>(nMaxError) - 1;
  std::memcpy(lpszError, static_cast<LPCTSTR>(m_strDescription), static_cast<size_t>(length));
  lpszError[length] = '\0';
  return TRUE;
}

void AFXAPI AfxThrowOleDispatchException(WORD wCode, LPCTSTR lpszDescription, UINT nHelpID) {
  throw new COleDispatchException(lpszDescription, nHelpID, wCode);
}

void AFXAPI AfxThrowOleDispatchException(WORD wCode, UINT nDescriptionID, UINT nHelpID) {
  LPCSTR text = AfxFindStringResource(nDescriptionID);
  throw new COleDispatchException(text ? text : "",
                                  nHelpID == static_cast<UINT>(-1) ? nDescriptionID : nHelpID, wCode);
}
