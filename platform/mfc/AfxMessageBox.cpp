// AfxMessageBox: a message box captioned with the current module state's application name
// (AfxGetAppName), owned by the application's main window if it has one. The type is passed on
// unchanged. The string-resource form looks the prompt up in the current module's resources;
// a missing string is traced and shown as empty text.
#include "afxwin.h"

int AFXAPI AfxMessageBox(LPCTSTR lpszText, UINT nType, UINT) {
  HWND owner = nullptr;
  if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd) owner = app->m_pMainWnd->GetSafeHwnd();
  return ::MessageBoxA(owner, lpszText ? lpszText : "", AfxGetAppName(), nType);
}

int AFXAPI AfxMessageBox(UINT nIDPrompt, UINT nType, UINT nIDHelp) {
  LPCSTR text = AfxFindStringResource(nIDPrompt);
  if (!text) {
    TRACE("AfxMessageBox: string %u is not in the resources of the current module\n", nIDPrompt);
    text = "";
  }
  return AfxMessageBox(text, nType, nIDHelp == static_cast<UINT>(-1) ? nIDPrompt : nIDHelp);
}
