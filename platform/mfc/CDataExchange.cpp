// CDataExchange and the DDX_ routines: moving values between a dialog's controls and its
// members, in the direction m_bSaveAndValidate says (TRUE: controls -> members).
//
// MFC's behaviour followed: DDX_Control subclasses the control once, when the member has no
// window yet (every new dialog window binds afresh, since destroying the old one unbound it);
// DDX_Text(int) reports text that is not a whole number with a message box ("Please enter an
// integer.") and fails the exchange with CUserException after giving the control the focus;
// DDX_LBIndex reads and sets the list box's selection (-1 for none).
#include <cerrno>
#include <cstdlib>

#include "afxwin.h"

CDataExchange::CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd), m_hWndLastControl(nullptr) {}

HWND CDataExchange::PrepareCtrl(int nIDC) {
  HWND control = m_pDlgWnd ? ::GetDlgItem(m_pDlgWnd->GetSafeHwnd(), nIDC) : nullptr;
  if (!control) {
    TRACE("Error: no data exchange control with ID %d\n", nIDC);
    AfxThrowNotSupportedException();
  }
  m_hWndLastControl = control;
  return control;
}

void CDataExchange::Fail() {
  if (m_bSaveAndValidate && m_hWndLastControl) ::SetFocus(m_hWndLastControl);
  AfxThrowUserException();
}

void AFXAPI DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
  if (rControl.m_hWnd) return;
  HWND control = pDX->PrepareCtrl(nIDC);
  if (!rControl.SubclassWindow(control)) {
    TRACE("Error: DDX_Control could not bind control %d\n", nIDC);
    AfxThrowNotSupportedException();
  }
}

void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
  HWND control = pDX->PrepareEditCtrl(nIDC);
  if (pDX->m_bSaveAndValidate) {
    CWnd::FromHandle(control)->GetWindowText(value);
  } else {
    ::SetWindowTextA(control, value);
  }
}

void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, int& value) {
  HWND control = pDX->PrepareEditCtrl(nIDC);
  if (pDX->m_bSaveAndValidate) {
    CString text;
    CWnd::FromHandle(control)->GetWindowText(text);
    text.Trim();
    const char* begin = text;
    char* end = nullptr;
    errno = 0;
    long long parsed = std::strtoll(begin, &end, 10);
    if (text.IsEmpty() || *end != '\0' || errno == ERANGE || parsed < INT32_MIN || parsed > INT32_MAX) {
      AfxMessageBox("Please enter an integer.", MB_ICONEXCLAMATION);
      pDX->Fail();
    }
    value = static_cast<int>(parsed);
  } else {
    CString text;
    text.Format("%d", value);
    ::SetWindowTextA(control, text);
  }
}

void AFXAPI DDX_LBIndex(CDataExchange* pDX, int nIDC, int& index) {
  HWND control = pDX->PrepareCtrl(nIDC);
  if (pDX->m_bSaveAndValidate) {
    index = static_cast<int>(::SendMessageA(control, LB_GETCURSEL, 0, 0));
  } else {
    ::SendMessageA(control, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
}
