// Module states: the thread's current state, the process default state, the module table behind
// HINSTANCE values and the resource lookup that reads the current state (see afxstate.h for the
// order in which the module entry uses them).
//
// The module table is small (the host and a few plug-ins) and changes only when a module is
// loaded or unloaded; a mutex guards it. The current state is per thread.
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <mutex>
#include <vector>

#include "afxstate.h"

namespace {

AFX_MODULE_STATE g_appModuleState;  // constant-initialised; named on first use
thread_local AFX_MODULE_STATE* t_pModuleState = nullptr;

std::mutex g_tableMutex;
std::vector<AFX_MODULE_STATE*>& ModuleTable() {
  static std::vector<AFX_MODULE_STATE*>* table = new std::vector<AFX_MODULE_STATE*>();  // outlives statics
  return *table;
}

// The module name rule of afxstate.h applied to a path.
void SetModuleName(AFX_MODULE_STATE* pState, const char* path, bool isLibrary) {
  const char* base = strrchr(path, '/');
  base = base == nullptr ? path : base + 1;
  if (isLibrary && strncmp(base, "lib", 3) == 0 && base[3] != '\0') base += 3;
  size_t n = strlen(base);
  if (isLibrary) {
    const char* so = strstr(base, ".so");
    if (so != nullptr) n = (size_t)(so - base);
  }
  if (n >= sizeof pState->m_szModuleName) n = sizeof pState->m_szModuleName - 1;
  memcpy(pState->m_szModuleName, base, n);
  pState->m_szModuleName[n] = '\0';
}

HINSTANCE EnterModule(AFX_MODULE_STATE* pState) {
  std::lock_guard<std::mutex> lock(g_tableMutex);
  auto& table = ModuleTable();
  for (size_t i = 0; i < table.size(); i++)
    if (table[i] == pState) return (HINSTANCE)(uintptr_t)(i + 1);
  table.push_back(pState);  // slots are not reused: a stale handle finds nothing
  return (HINSTANCE)(uintptr_t)table.size();
}

AFX_MODULE_STATE* ModuleFromHandle(HINSTANCE hInstance) {
  std::lock_guard<std::mutex> lock(g_tableMutex);
  auto& table = ModuleTable();
  uintptr_t index = (uintptr_t)hInstance;
  return (index >= 1 && index <= table.size()) ? table[index - 1] : nullptr;
}

AFX_MODULE_STATE* AppModuleState() {
  static std::once_flag once;
  std::call_once(once, [] {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    path[n > 0 ? n : 0] = '\0';
    SetModuleName(&g_appModuleState, n > 0 ? path : "app", false);
    g_appModuleState.m_hCurrentInstanceHandle = EnterModule(&g_appModuleState);
    g_appModuleState.m_hCurrentResourceHandle = g_appModuleState.m_hCurrentInstanceHandle;
    g_appModuleState.m_bInitialized = TRUE;
  });
  return &g_appModuleState;
}

}  // namespace

AFX_MODULE_STATE* AFXAPI AfxGetAppModuleState() {
  return AppModuleState();
}

AFX_MODULE_STATE* AFXAPI AfxGetModuleState() {
  return t_pModuleState != nullptr ? t_pModuleState : AppModuleState();
}

AFX_MODULE_STATE* AFXAPI AfxSetModuleState(AFX_MODULE_STATE* pNewState) {
  AFX_MODULE_STATE* pPrev = AfxGetModuleState();
  t_pModuleState = pNewState;
  return pPrev;
}

AFX_MAINTAIN_STATE2::AFX_MAINTAIN_STATE2(AFX_MODULE_STATE* pModuleState)
    : m_pPrevModuleState(AfxSetModuleState(pModuleState)) {}

AFX_MAINTAIN_STATE2::~AFX_MAINTAIN_STATE2() {
  AfxSetModuleState(m_pPrevModuleState);
}

LPCTSTR AFXAPI AfxGetAppName() {
  AFX_MODULE_STATE* pState = AfxGetModuleState();
  return pState->m_lpszCurrentAppName != nullptr ? pState->m_lpszCurrentAppName : pState->m_szModuleName;
}

HINSTANCE AFXAPI AfxGetInstanceHandle() {
  return AfxGetModuleState()->m_hCurrentInstanceHandle;
}
HINSTANCE AFXAPI AfxGetResourceHandle() {
  return AfxGetModuleState()->m_hCurrentResourceHandle;
}
void AFXAPI AfxSetResourceHandle(HINSTANCE hInstResource) {
  AfxGetModuleState()->m_hCurrentResourceHandle = hInstResource;
}

const KpResourceTable* AFXAPI AfxGetResourceTable() {
  return kp::GetModuleResources(AfxGetResourceHandle());
}

const KpDialogTemplate* AFXAPI AfxFindDialogTemplate(UINT nIDTemplate) {
  return kp::FindDialogTemplate(AfxGetResourceHandle(), nIDTemplate);
}

LPCSTR AFXAPI AfxFindStringResource(UINT nID) {
  return kp::FindStringResource(AfxGetResourceHandle(), nID);
}

namespace kp {

const KpResourceTable* GetModuleResources(HINSTANCE hInstance) {
  AFX_MODULE_STATE* pState = ModuleFromHandle(hInstance);
  return pState != nullptr ? pState->m_pResources : nullptr;
}

const KpDialogTemplate* FindDialogTemplate(HINSTANCE hInstance, UINT nIDTemplate) {
  const KpResourceTable* table = GetModuleResources(hInstance);
  if (table == nullptr) return nullptr;
  for (int i = 0; i < table->dialogCount; i++)
    if (table->dialogs[i].id == nIDTemplate) return &table->dialogs[i];
  return nullptr;
}

LPCSTR FindStringResource(HINSTANCE hInstance, UINT nID) {
  const KpResourceTable* table = GetModuleResources(hInstance);
  if (table == nullptr) return nullptr;
  for (int i = 0; i < table->stringCount; i++)
    if (table->strings[i].id == nID) return table->strings[i].text;
  return nullptr;
}

void InitModuleState(AFX_MODULE_STATE* pState, const KpResourceTable* pResources,
                     const void* addressInModule) {
  AppModuleState();  // the default state takes the first handle
  Dl_info info{};
  struct link_map* map = nullptr;
  bool found = dladdr1(addressInModule, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) != 0;
  // The main program's link map has an empty name.
  bool isLibrary = found && map != nullptr && map->l_name != nullptr && map->l_name[0] != '\0';
  if (isLibrary) {
    SetModuleName(pState, map->l_name, true);
  } else {
    SetModuleName(pState, AppModuleState()->m_szModuleName, false);
  }
  pState->m_pResources = pResources;
  pState->m_bDLL = isLibrary ? TRUE : FALSE;
  pState->m_hCurrentInstanceHandle = EnterModule(pState);
  pState->m_hCurrentResourceHandle = pState->m_hCurrentInstanceHandle;
  pState->m_bInitialized = TRUE;
}

void TermModuleState(AFX_MODULE_STATE* pState) {
  {
    std::lock_guard<std::mutex> lock(g_tableMutex);
    for (auto& entry : ModuleTable())
      if (entry == pState) entry = nullptr;
  }
  pState->m_bInitialized = FALSE;
  pState->m_pCurrentWinApp = nullptr;
  pState->m_lpszCurrentAppName = nullptr;
}

}  // namespace kp
