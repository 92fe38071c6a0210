// The diagnostic services: TRACE, the assertion report, ASSERT_VALID, the pointer checks and the
// dump context afxDump. They are active in every build; their output goes to the trace sink
// through OutputDebugStringA (see afx.h for why a failed assertion does not stop the program).
#include <string>

#include "afx.h"
#include "WindowsFormat.h"

CDumpContext afxDump;

void AFX_CDECL AfxTrace(LPCSTR lpszFormat, ...) {
  va_list args;
  va_start(args, lpszFormat);
  std::string text = kp::FormatWindows(lpszFormat, args);
  va_end(args);
  OutputDebugStringA(text.c_str());
}

BOOL AFXAPI AfxAssertFailedLine(LPCSTR lpszFileName, int nLine) {
  AfxTrace("Assertion failed: %s(%d)\n", lpszFileName == nullptr ? "?" : lpszFileName, nLine);
  return FALSE;
}

void AFXAPI AfxAssertValidObject(const CObject* pOb, LPCSTR lpszFileName, int nLine) {
  if (pOb == nullptr) {
    AfxTrace("ASSERT_VALID fails with NULL pointer.\n");
    AfxAssertFailedLine(lpszFileName, nLine);
    return;
  }
  pOb->AssertValid();
}

BOOL AFXAPI AfxIsValidString(LPCSTR lpsz, int) {
  return lpsz != nullptr;
}
BOOL AFXAPI AfxIsValidString(LPCWSTR lpsz, int) {
  return lpsz != nullptr;
}
BOOL AFXAPI AfxIsValidAddress(const void* lp, UINT nBytes, BOOL) {
  return nBytes == 0 || lp != nullptr;
}

CDumpContext& CDumpContext::operator<<(LPCSTR lpsz) {
  OutputDebugStringA(lpsz == nullptr ? "(NULL)" : lpsz);
  return *this;
}
CDumpContext& CDumpContext::operator<<(const CString& str) {
  return *this << (LPCSTR)str;
}
CDumpContext& CDumpContext::operator<<(const void* lp) {
  AfxTrace("$%p", lp);
  return *this;
}
CDumpContext& CDumpContext::operator<<(const CObject* pOb) {
  if (pOb == nullptr) return *this << "NULL";
  pOb->Dump(*this);
  return *this;
}
CDumpContext& CDumpContext::operator<<(const CObject& ob) {
  return *this << &ob;
}
CDumpContext& CDumpContext::operator<<(BYTE by) {
  return *this << (UINT)by;
}
CDumpContext& CDumpContext::operator<<(WORD w) {
  return *this << (UINT)w;
}
CDumpContext& CDumpContext::operator<<(UINT u) {
  AfxTrace("%u", u);
  return *this;
}
CDumpContext& CDumpContext::operator<<(int n) {
  AfxTrace("%d", n);
  return *this;
}
CDumpContext& CDumpContext::operator<<(LONGLONG n) {
  AfxTrace("%I64d", n);
  return *this;
}
CDumpContext& CDumpContext::operator<<(ULONGLONG n) {
  AfxTrace("%I64u", n);
  return *this;
}
CDumpContext& CDumpContext::operator<<(double d) {
  AfxTrace("%f", d);
  return *this;
}

void CDumpContext::HexDump(LPCSTR lpszLine, BYTE* pby, int nBytes, int nWidth) {
  if (nWidth <= 0) nWidth = 16;
  for (int i = 0; i < nBytes; i++) {
    if (i % nWidth == 0) AfxTrace("%s", i == 0 ? lpszLine : (std::string("\n") + lpszLine).c_str());
    AfxTrace(" %02X", pby[i]);
  }
  if (nBytes > 0) OutputDebugStringA("\n");
}
