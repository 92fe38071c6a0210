// Module state, resource context and the application object of the MFC-compatible library.
//
// Every module (the host executable and each plug-in .so) has its own AFX_MODULE_STATE: its
// application object, its name, its instance and resource handles and its resource table
// (kpresource.h). Each thread has a current module state; AfxGetApp, AfxGetAppName,
// AfxGetResourceHandle, CString::LoadString and CDialog's template lookup all read it.
// AFX_MANAGE_STATE(AfxGetStaticModuleState()) at the top of an exported function makes the
// calling module's own state current for the scope and restores the previous one on every way
// out, exceptions included.
//
// The module entry (static library kpmfcdll, linked into each module) sets the state up, in
// this order: at load the state is filled in and made current BEFORE the module's static objects
// are constructed (so theApp's CWinApp constructor registers itself in it), and after them theApp's
// InitInstance runs; then the state that was current before the load is current again, so the
// loader carries on in its own state. At unload the module's state is made current again,
// ExitInstance runs BEFORE the static destructors, and the state that was current when the
// unload began is restored AFTER them. In an executable the state stays current from start-up to
// exit. An executable that does not link kpmfcdll runs in the process default state
// (AfxGetAppModuleState: named after the executable, no resources).
//
// Module name rule (the app name of a CWinApp constructed with no name, as MFC takes the module
// file name without its extension): the file name of the module without directory, without a
// leading "lib" and without everything from the first ".so" on; an executable's name is its
// file name. libkpSect03StratumSel.so -> "kpSect03StratumSel".
//
// Instance and resource handles are small indexes into the library's module table, wrapped in
// HINSTANCE, never addresses.
//
// CWinThread and CWinApp derive from CCmdTarget: this header declares them only after afxwin.h
// has declared CCmdTarget (afxwin.h includes this header after CCmdTarget and defines
// KP_AFX_CMDTARGET_DECLARED first). Code that needs only the module state may include this
// header directly.
#pragma once
#include "afx.h"
#include "kp/kpresource.h"

class CWinApp;
class CWnd;

#define KP_MODULE_NAME_MAX 128

struct KPAPI AFX_MODULE_STATE {
  CWinApp* m_pCurrentWinApp;     // registered by the CWinApp constructor
  LPCTSTR m_lpszCurrentAppName;  // the application object's m_pszAppName
  HINSTANCE m_hCurrentInstanceHandle;
  HINSTANCE m_hCurrentResourceHandle;       // where resources are looked up (AfxSetResourceHandle)
  const KpResourceTable* m_pResources;      // the module's own table, or null
  BOOL m_bDLL;                              // TRUE for a plug-in, FALSE for an executable
  BOOL m_bInitialized;                      // set by the module entry, cleared at unload
  char m_szModuleName[KP_MODULE_NAME_MAX];  // by the rule above
  void* m_pUser[4];                         // for other parts of the library, by agreement
};

// AFX_MAINTAIN_STATE2 makes a module state current for its lifetime.
class KPAPI AFX_MAINTAIN_STATE2 {
 public:
  explicit AFX_MAINTAIN_STATE2(AFX_MODULE_STATE* pModuleState);
  ~AFX_MAINTAIN_STATE2();
  AFX_MAINTAIN_STATE2(const AFX_MAINTAIN_STATE2&) = delete;
  AFX_MAINTAIN_STATE2& operator=(const AFX_MAINTAIN_STATE2&) = delete;

 private:
  AFX_MODULE_STATE* m_pPrevModuleState;
};
typedef AFX_MAINTAIN_STATE2 AFX_MAINTAIN_STATE;
#define AFX_MANAGE_STATE(p) AFX_MAINTAIN_STATE2 _ctlState(p);

// The calling thread's current module state (the process default until one is set).
KPAPI AFX_MODULE_STATE* AFXAPI AfxGetModuleState();
// Makes pNewState current for the calling thread (null: the process default) and answers the
// state that was current.
KPAPI AFX_MODULE_STATE* AFXAPI AfxSetModuleState(AFX_MODULE_STATE* pNewState);
// The process default state.
KPAPI AFX_MODULE_STATE* AFXAPI AfxGetAppModuleState();
// The calling module's own state. Defined by kpmfcdll inside every module, hidden, so each
// module's call answers its own.
KPHIDDEN AFX_MODULE_STATE* AFXAPI AfxGetStaticModuleState();

KPAPI CWinApp* AFXAPI AfxGetApp();     // of the current module state; may be null
KPAPI LPCTSTR AFXAPI AfxGetAppName();  // the app name, or the module name without app
KPAPI HINSTANCE AFXAPI AfxGetInstanceHandle();
KPAPI HINSTANCE AFXAPI AfxGetResourceHandle();
KPAPI void AFXAPI AfxSetResourceHandle(HINSTANCE hInstResource);

// Resource lookup in the table of the current module state's resource handle. Null when the
// module has no table or the table has no such entry.
KPAPI const KpResourceTable* AFXAPI AfxGetResourceTable();
KPAPI const KpDialogTemplate* AFXAPI AfxFindDialogTemplate(UINT nIDTemplate);
KPAPI LPCSTR AFXAPI AfxFindStringResource(UINT nID);

// The application message box. Declared here with its default arguments (do not repeat them in
// another declaration); defined with the window manager (afxwin.h).
KPAPI int AFXAPI AfxMessageBox(LPCTSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);

namespace kp {
// The module table behind HINSTANCE values.
KPAPI const KpResourceTable* GetModuleResources(HINSTANCE hInstance);
KPAPI const KpDialogTemplate* FindDialogTemplate(HINSTANCE hInstance, UINT nIDTemplate);
KPAPI LPCSTR FindStringResource(HINSTANCE hInstance, UINT nID);

// Used by the module entry (kpmfcdll). InitModuleState fills the state of the module that
// contains `addressInModule` (name, handles, resources) and enters it in the module table;
// InitApplication runs the registered application's InitInstance (answers its result, TRUE when
// there is no application); TermApplication runs ExitInstance; TermModuleState takes the state
// out of the module table.
KPAPI void InitModuleState(AFX_MODULE_STATE* pState, const KpResourceTable* pResources,
                           const void* addressInModule);
KPAPI BOOL InitApplication(AFX_MODULE_STATE* pState);
KPAPI int TermApplication(AFX_MODULE_STATE* pState);
KPAPI void TermModuleState(AFX_MODULE_STATE* pState);
}  // namespace kp

#ifdef KP_AFX_CMDTARGET_DECLARED

// A thread of the application. Only the application's own thread exists here: no thread is
// started, and Run is the application's.
class KPAPI CWinThread : public CCmdTarget {
  DECLARE_DYNAMIC(CWinThread)
 public:
  CWinThread();
  ~CWinThread() override;

  virtual BOOL InitInstance();
  virtual int ExitInstance();
  virtual int Run();

  CWnd* m_pMainWnd;
  BOOL m_bAutoDelete;
};

// The application object. Its constructor registers it in the current module state, which is
// the module's own while the module's static objects are constructed.
class KPAPI CWinApp : public CWinThread {
  DECLARE_DYNAMIC(CWinApp)
 public:
  // With no name, the app name is the module name (see the rule at the top of this file).
  explicit CWinApp(LPCTSTR lpszAppName = nullptr);
  ~CWinApp() override;

  virtual BOOL InitApplication();
  BOOL InitInstance() override;
  int ExitInstance() override;
  // There is no message loop of the application's own here: Run logs that and answers ExitInstance().
  int Run() override;

  LPCTSTR m_pszAppName;
  LPCTSTR m_pszExeName;
  HINSTANCE m_hInstance;
  HINSTANCE m_hPrevInstance;
  LPTSTR m_lpCmdLine;
  int m_nCmdShow;
  LPCTSTR m_pszHelpFilePath;
  LPCTSTR m_pszProfileName;
  LPCTSTR m_pszRegistryKey;

 private:
  AFX_MODULE_STATE* m_pModuleState;  // where the constructor registered this object
};

#endif  // KP_AFX_CMDTARGET_DECLARED
