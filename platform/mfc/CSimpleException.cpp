// CSimpleException and the exceptions with a fixed message: CMemoryException,
// CNotSupportedException and CInvalidArgException, with their throw helpers. The messages are
// those of MFC's string resources for these exceptions.
#include <cstring>

#include "afx.h"

IMPLEMENT_DYNAMIC(CSimpleException, CException)
IMPLEMENT_DYNAMIC(CMemoryException, CSimpleException)
IMPLEMENT_DYNAMIC(CNotSupportedException, CSimpleException)
IMPLEMENT_DYNAMIC(CInvalidArgException, CSimpleException)

CSimpleException::CSimpleException() = default;
CSimpleException::CSimpleException(BOOL bAutoDelete) : CException(bAutoDelete) {}

BOOL CSimpleException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
  if (pnHelpContext != nullptr) *pnHelpContext = 0;
  LPCSTR text = GetDefaultMessage();
  if (lpszError == nullptr || nMaxError == 0) return text != nullptr;
  *lpszError = '\0';
  if (text == nullptr) return FALSE;
  // Copy at most nMaxError-1 bytes without splitting a double-byte character.
  UINT n = 0;
  while (text[n] != '\0') {
    UINT m = (UINT)AfxGbkCharLength(text + n);
    if (n + m > nMaxError - 1) break;
    n += m;
  }
  memcpy(lpszError, text, n);
  lpszError[n] = '\0';
  return TRUE;
}

LPCSTR CMemoryException::GetDefaultMessage() const {
  return "Out of memory.";
}
LPCSTR CNotSupportedException::GetDefaultMessage() const {
  return "An unsupported operation was attempted.";
}
LPCSTR CInvalidArgException::GetDefaultMessage() const {
  return "Encountered an improper argument.";
}

void AFXAPI AfxThrowMemoryException() {
  static CMemoryException s_memoryException(FALSE);
  throw &s_memoryException;
}

void AFXAPI AfxThrowNotSupportedException() {
  throw new CNotSupportedException();
}
void AFXAPI AfxThrowInvalidArgException() {
  throw new CInvalidArgException();
}
