// CWinThread and CWinApp: the application object of a module, and the module entry's calls
// that start and end it (kp::InitApplication, kp::TermApplication).
//
// The CWinApp constructor registers the object in the current module state, which during the
// construction of a module's static objects is the module's own (see afxstate.h). An
// application constructed with no name takes the module's name. There is no message loop of an
// application's own on this platform: modal dialogs run their own loops, and a plug-in's
// application object only starts and ends with its module.
#include <cstdlib>
#include <cstring>

#include "afxwin.h"
#include "kp/kpnotimpl.h"

IMPLEMENT_DYNAMIC(CWinThread, CCmdTarget)
IMPLEMENT_DYNAMIC(CWinApp, CWinThread)

CWinThread::CWinThread() : m_pMainWnd(nullptr), m_bAutoDelete(FALSE) {}
CWinThread::~CWinThread() = default;
BOOL CWinThread::InitInstance() {
  return TRUE;
}
int CWinThread::ExitInstance() {
  return 0;
}
int CWinThread::Run() {
  kp::LogNotImplemented("CWinThread::Run", "no thread message loop; ExitInstance runs at once");
  return ExitInstance();
}

CWinApp::CWinApp(LPCTSTR lpszAppName)
    : m_pszAppName(nullptr),
      m_pszExeName(nullptr),
      m_hInstance(nullptr),
      m_hPrevInstance(nullptr),
      m_lpCmdLine(nullptr),
      m_nCmdShow(0),
      m_pszHelpFilePath(nullptr),
      m_pszProfileName(nullptr),
      m_pszRegistryKey(nullptr),
      m_pModuleState(AfxGetModuleState()) {
  if (m_pModuleState->m_pCurrentWinApp != nullptr)
    TRACE("Warning: module %s has a second application object; the last one constructed is used.\n",
          m_pModuleState->m_szModuleName);
  m_pModuleState->m_pCurrentWinApp = this;
  m_pszAppName = strdup(lpszAppName != nullptr ? lpszAppName : m_pModuleState->m_szModuleName);
  m_pszExeName = strdup(m_pModuleState->m_szModuleName);
  m_pModuleState->m_lpszCurrentAppName = m_pszAppName;
  m_hInstance = m_pModuleState->m_hCurrentInstanceHandle;
}

CWinApp::~CWinApp() {
  if (m_pModuleState->m_pCurrentWinApp == this) {
    m_pModuleState->m_pCurrentWinApp = nullptr;
    m_pModuleState->m_lpszCurrentAppName = nullptr;
  }
  free(const_cast<char*>(m_pszAppName));
  free(const_cast<char*>(m_pszExeName));
}

BOOL CWinApp::InitApplication() {
  return TRUE;
}
BOOL CWinApp::InitInstance() {
  return TRUE;
}
int CWinApp::ExitInstance() {
  return 0;
}
int CWinApp::Run() {
  kp::LogNotImplemented("CWinApp::Run", "no application message loop; ExitInstance runs at once");
  return ExitInstance();
}

CWinApp* AFXAPI AfxGetApp() {
  return AfxGetModuleState()->m_pCurrentWinApp;
}

namespace kp {

BOOL InitApplication(AFX_MODULE_STATE* pState) {
  CWinApp* pApp = pState->m_pCurrentWinApp;
  if (pApp == nullptr) return TRUE;
  if (!pApp->InitApplication()) return FALSE;
  return pApp->InitInstance();
}

int TermApplication(AFX_MODULE_STATE* pState) {
  CWinApp* pApp = pState->m_pCurrentWinApp;
  return pApp != nullptr ? pApp->ExitInstance() : 0;
}

}  // namespace kp
