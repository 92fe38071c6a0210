// CException: the base of the library's exceptions, thrown by pointer. A heap exception is
// made with automatic deletion and deleted by Delete(); a static one survives Delete().
#include <cstring>

#include "afx.h"
#include "afxstate.h"

IMPLEMENT_DYNAMIC(CException, CObject)

CException::CException() : m_bAutoDelete(TRUE) {}
CException::CException(BOOL bAutoDelete) : m_bAutoDelete(bAutoDelete) {}

void CException::Delete() {
  if (m_bAutoDelete > 0) delete this;
}

BOOL CException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
  if (pnHelpContext != nullptr) *pnHelpContext = 0;
  if (lpszError != nullptr && nMaxError > 0) *lpszError = '\0';
  return FALSE;
}

int CException::ReportError(UINT nType, UINT nMessageID) {
  char szErrorMessage[512];
  UINT nHelpContext = 0;
  if (GetErrorMessage(szErrorMessage, sizeof szErrorMessage, &nHelpContext))
    return AfxMessageBox(szErrorMessage, nType, nHelpContext);
  CString strMessage;
  if (nMessageID == 0 || !strMessage.LoadString(nMessageID)) strMessage = "No error message is available.";
  return AfxMessageBox(strMessage, nType, nHelpContext);
}
