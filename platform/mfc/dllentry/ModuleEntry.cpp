// The module entry: the counterpart of the code that MFC links statically into every DLL that
// uses MFC as a shared library. Linked (from the static library kpmfcdll) into each plug-in and
// into the host executable, built hidden, so each module has its own copy and its own state.
//
// Order at load (dlopen, or start-up of an executable):
// 1. EnterModule, a constructor of priority 101, runs before the module's static objects (the
//    linker sorts prioritised constructors ahead of plain ones). It registers RestoreState with
//    __cxa_atexit for this module first, so that it runs after every later registration, fills
//    the module state (name, handles, resource table from the module's kpModuleResourceTable, if
//    it defines one) and makes it current, remembering the state that was current.
// 2. The module's static objects are constructed; theApp's CWinApp constructor registers itself
//    in the current (this module's) state.
// 3. InitModule, a plain constructor in this object, which the link places after the module's
//    own objects, runs theApp's InitInstance, then registers TermModule with __cxa_atexit (after
//    the static objects, so it runs before their destructors) and, in a plug-in, makes the
//    remembered state current again.
// Order at unload (dlclose, or exit): TermModule makes this module's state current again and runs
// ExitInstance; the static destructors run (in reverse order of construction); RestoreState makes
// the state that was current when the unload began current again and takes this module's state
// out of the module table.
//
// ExitInstance is registered with __cxa_atexit rather than as a destructor function: dlclose
// runs destructor functions before the atexit list, but exit() runs the atexit list (the static
// destructors) first and destructor functions after it, so only an atexit registration keeps
// "ExitInstance before the static destructors" on both ways out.
#include "afxstate.h"

extern "C" {
extern void* __dso_handle;
int __cxa_atexit(void (*func)(void*), void* arg, void* dso);
// Defined by the module's KP_MODULE_RESOURCES, if it has resources.
KPHIDDEN __attribute__((weak)) const KpResourceTable* kpModuleResourceTable();
// Referenced by the link options of kpmfcdll so that this object is always linked in.
KPHIDDEN int kpMfcModuleEntryAnchor = 0;
}

namespace {

AFX_MODULE_STATE g_moduleState;  // zero-initialised before any code of the module runs
AFX_MODULE_STATE* g_pPrevModuleState = nullptr;

void RestoreState(void*) {
  AfxSetModuleState(g_pPrevModuleState);
  kp::TermModuleState(&g_moduleState);
}

void TermModule(void*) {
  g_pPrevModuleState = AfxSetModuleState(&g_moduleState);
  kp::TermApplication(&g_moduleState);
}

__attribute__((constructor(101))) void EnterModule() {
  __cxa_atexit(RestoreState, nullptr, &__dso_handle);
  kp::InitModuleState(&g_moduleState, kpModuleResourceTable != nullptr ? kpModuleResourceTable() : nullptr,
                      reinterpret_cast<const void*>(&EnterModule));
  g_pPrevModuleState = AfxSetModuleState(&g_moduleState);
}

__attribute__((constructor)) void InitModule() {
  if (!kp::InitApplication(&g_moduleState))
    TRACE("Warning: InitInstance of module %s failed; the module stays loaded.\n",
          g_moduleState.m_szModuleName);
  __cxa_atexit(TermModule, nullptr, &__dso_handle);
  if (g_moduleState.m_bDLL) AfxSetModuleState(g_pPrevModuleState);
}

}  // namespace

AFX_MODULE_STATE* AFXAPI AfxGetStaticModuleState() {
  return &g_moduleState;
}
