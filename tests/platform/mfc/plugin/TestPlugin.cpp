// A plug-in written as ordinary MFC code, for the module-entry tests: static objects whose
// construction and destruction leave a trace line, an application object, a resource table with
// the same dialog id as the host's, and exports that switch to the module's own state.
// Every step writes "[plugin] ..." to the trace sink, where the test reads the order.
#include <afxwin.h>

#include "kp/kpresource.h"

namespace {

const KpDialogTemplate kDialogs[] = {
    {12000, MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), 0, 0, 0, 0, 187, 263, "plugin dialog", 9,
     "宋体", nullptr, 0},
};
const KpStringResource kStrings[] = {{100, "插件字符串"}};
const KpResourceTable kResources = {"kpMfcTestPlugin", kDialogs, 1, kStrings, 1};

const char* StateName() {
  AFX_MODULE_STATE* p = AfxGetModuleState();
  return p == AfxGetStaticModuleState() ? "plugin" : "other";
}

// A module-wide object that reports its life, with the state it saw.
class Probe {
 public:
  explicit Probe(const char* name) : m_name(name) {
    const KpResourceTable* table = AfxGetResourceTable();
    TRACE("[plugin] construct %s state=%s resources=%s\n", m_name, StateName(),
          table == &kResources ? "own" : "none");
  }
  ~Probe() { TRACE("[plugin] destroy %s state=%s\n", m_name, StateName()); }

 private:
  const char* m_name;
};

class CTestPluginApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    TRACE("[plugin] InitInstance app=%s state=%s\n", AfxGetAppName(), StateName());
    return CWinApp::InitInstance();
  }
  int ExitInstance() override {
    TRACE("[plugin] ExitInstance state=%s\n", StateName());
    return CWinApp::ExitInstance();
  }
  afx_msg void OnAppAbout() { TRACE("[plugin] about\n"); }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestPluginApp, CWinApp)
ON_COMMAND(0xE140, OnAppAbout)  // ID_APP_ABOUT
END_MESSAGE_MAP()

}  // namespace

KP_MODULE_RESOURCES(kResources)

// Module-wide objects, in definition order.
Probe g_first("first");
Probe g_second("second");
CTestPluginApp theApp;

extern "C" {

KPAPI AFX_MODULE_STATE* PluginStaticState() {
  return AfxGetStaticModuleState();
}

KPAPI CWinApp* PluginTheApp() {
  return &theApp;
}

// The caption of dialog 12000 as CDialog would find it, with and without switching state.
KPAPI const char* PluginDialogCaption(BOOL switchState) {
  if (switchState) {
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    const KpDialogTemplate* t = AfxFindDialogTemplate(12000);
    return t != nullptr ? t->caption : nullptr;
  }
  const KpDialogTemplate* t = AfxFindDialogTemplate(12000);
  return t != nullptr ? t->caption : nullptr;
}

KPAPI BOOL PluginLoadString(UINT id, CString* out) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  return out->LoadString(id);
}

KPAPI const char* PluginAppName() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  return AfxGetAppName();
}

// Throws out of a scope that switched the state; the switch must be undone on the way out.
KPAPI void PluginThrowInsideState() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  AfxThrowNotSupportedException();
}

}  // extern "C"
