// CWnd: the handle maps, subclassing, message routing and the window operations, and the
// ActiveX-control side used by generated control wrappers.
//
// Handle maps (one for the process, used by the user-interface thread): the permanent map holds
// the objects bound by Attach / SubclassWindow / Create; FromHandle makes a temporary CWnd for
// any other live window, kept until that window is gone (temporaries of dead windows are
// dropped whenever a new temporary is made). A permanent object is unbound at WM_NCDESTROY,
// after the window's own procedure has seen the message, and then PostNcDestroy runs.
//
// Routing (MFC's): AfxWndProc -> WindowProc -> OnWndMsg, which gives WM_COMMAND to OnCommand
// (-> OnCmdMsg and the message map) and other messages to their ON_WM_* / ON_MESSAGE entry;
// what nobody handled goes to DefWindowProc, i.e. the procedure the window had before it was
// subclassed (or DefWindowProcA).
#include <cstdarg>
#include <map>
#include <memory>

#include "afxdisp.h"
#include "afxwin.h"

namespace {

std::map<HWND, CWnd*>& PermanentMap() {
  static auto* map = new std::map<HWND, CWnd*>;
  return *map;
}

std::map<HWND, std::unique_ptr<CWnd>>& TemporaryMap() {
  static auto* map = new std::map<HWND, std::unique_ptr<CWnd>>;
  return *map;
}

void DropDeadTemporaries() {
  auto& temps = TemporaryMap();
  for (auto it = temps.begin(); it != temps.end();) {
    if (!IsWindow(it->first)) {
      it->second->m_hWnd = nullptr;
      it = temps.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace

IMPLEMENT_DYNCREATE(CWnd, CCmdTarget)

const AFX_MSGMAP* PASCAL CWnd::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, AfxSig_end, nullptr}};
  static const AFX_MSGMAP map = {&CCmdTarget::GetThisMessageMap, &entries[0]};
  return &map;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const {
  return GetThisMessageMap();
}

CWnd::CWnd() : m_hWnd(nullptr), m_pfnSuper(nullptr), m_pCtrlDispatch(nullptr) {}

CWnd::~CWnd() {
  DetachControl();
  if (m_hWnd && FromHandlePermanent(m_hWnd) == this && IsWindow(m_hWnd)) {
    TRACE(
        "Warning: calling DestroyWindow in CWnd::~CWnd; OnDestroy or PostNcDestroy in a derived class will "
        "not "
        "be called\n");
    HWND hwnd = m_hWnd;
    Detach();
    ::DestroyWindow(hwnd);
  } else if (m_hWnd) {
    Detach();
  }
}

HWND CWnd::GetSafeHwnd() const {
  const void* volatile self = this;  // MFC code calls this through null pointers
  return self ? m_hWnd : nullptr;
}

CWnd* PASCAL CWnd::FromHandlePermanent(HWND hWnd) {
  auto it = PermanentMap().find(hWnd);
  return it == PermanentMap().end() ? nullptr : it->second;
}

CWnd* PASCAL CWnd::FromHandle(HWND hWnd) {
  if (!hWnd) return nullptr;
  if (CWnd* p = FromHandlePermanent(hWnd)) return p;
  auto& temps = TemporaryMap();
  auto it = temps.find(hWnd);
  if (it != temps.end() && IsWindow(hWnd)) return it->second.get();
  if (!IsWindow(hWnd)) return nullptr;
  DropDeadTemporaries();
  auto temp = std::make_unique<CWnd>();
  temp->m_hWnd = hWnd;
  CWnd* result = temp.get();
  temps[hWnd] = std::move(temp);
  return result;
}

BOOL CWnd::Attach(HWND hWndNew) {
  if (!hWndNew || m_hWnd) return FALSE;
  CWnd* bound = FromHandlePermanent(hWndNew);
  if (bound && bound != this) {
    TRACE("CWnd::Attach: window %p is bound to another object\n", static_cast<void*>(hWndNew));
    return FALSE;
  }
  PermanentMap()[hWndNew] = this;
  m_hWnd = hWndNew;
  return TRUE;
}

HWND CWnd::Detach() {
  HWND hwnd = m_hWnd;
  if (hwnd && FromHandlePermanent(hwnd) == this) PermanentMap().erase(hwnd);
  m_hWnd = nullptr;
  return hwnd;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
  if (!IsWindow(hWnd) || !Attach(hWnd)) return FALSE;
  WNDPROC old = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hWnd, GWLP_WNDPROC));
  if (old == AfxWndProc) {
    TRACE("CWnd::SubclassWindow: window %p is subclassed already\n", static_cast<void*>(hWnd));
    Detach();
    return FALSE;
  }
  m_pfnSuper = old;
  SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc));
  return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
  HWND control = pParent ? ::GetDlgItem(pParent->m_hWnd, static_cast<int>(nID)) : nullptr;
  return control ? SubclassWindow(control) : FALSE;
}

HWND CWnd::UnsubclassWindow() {
  if (m_hWnd && m_pfnSuper) SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
  m_pfnSuper = nullptr;
  return Detach();
}

BOOL CWnd::Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                  CWnd* pParentWnd, UINT nID, void*) {
  return CreateEx(0, lpszClassName, lpszWindowName, dwStyle | WS_CHILD, rect.left, rect.top,
                  rect.right - rect.left, rect.bottom - rect.top, pParentWnd ? pParentWnd->m_hWnd : nullptr,
                  reinterpret_cast<HMENU>(static_cast<uintptr_t>(nID)));
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, int x,
                    int y, int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam) {
  // The creation messages go to the class's own procedure; the object binds right after.
  HWND hwnd = CreateWindowExA(dwExStyle, lpszClassName, lpszWindowName, dwStyle, x, y, nWidth, nHeight,
                              hWndParent, nIDorHMenu, AfxGetInstanceHandle(), lpParam);
  if (!hwnd) return FALSE;
  if (!SubclassWindow(hwnd)) {
    ::DestroyWindow(hwnd);
    return FALSE;
  }
  return TRUE;
}

BOOL CWnd::DestroyWindow() {
  if (!m_hWnd) return FALSE;
  HWND hwnd = m_hWnd;
  BOOL permanent = FromHandlePermanent(hwnd) == this;
  BOOL result = ::DestroyWindow(hwnd);
  if (!permanent) m_hWnd = nullptr;  // a permanent object was unbound by WM_NCDESTROY
  return result;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::SendMessageA(m_hWnd, message, wParam, lParam);
}
BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::PostMessageA(m_hWnd, message, wParam, lParam);
}
CWnd* CWnd::GetDlgItem(int nID) const {
  return FromHandle(::GetDlgItem(m_hWnd, nID));
}
int CWnd::GetDlgCtrlID() const {
  return ::GetDlgCtrlID(m_hWnd);
}
CWnd* CWnd::GetParent() const {
  return FromHandle(::GetParent(m_hWnd));
}
void CWnd::SetWindowText(LPCTSTR lpszString) {
  ::SetWindowTextA(m_hWnd, lpszString);
}
int CWnd::GetWindowText(LPTSTR lpszStringBuf, int nMaxCount) const {
  return ::GetWindowTextA(m_hWnd, lpszStringBuf, nMaxCount);
}
void CWnd::GetWindowText(CString& rString) const {
  int length = ::GetWindowTextLengthA(m_hWnd);
  ::GetWindowTextA(m_hWnd, rString.GetBufferSetLength(length), length + 1);
  rString.ReleaseBuffer();
}
int CWnd::GetWindowTextLength() const {
  return ::GetWindowTextLengthA(m_hWnd);
}
void CWnd::SetDlgItemText(int nID, LPCTSTR lpszString) {
  ::SetDlgItemTextA(m_hWnd, nID, lpszString);
}
int CWnd::GetDlgItemText(int nID, CString& rString) const {
  rString.Empty();
  HWND item = ::GetDlgItem(m_hWnd, nID);
  if (!item) return 0;
  FromHandle(item)->GetWindowText(rString);
  return rString.GetLength();
}
BOOL CWnd::EnableWindow(BOOL bEnable) {
  return ::EnableWindow(m_hWnd, bEnable);
}
BOOL CWnd::IsWindowEnabled() const {
  return ::IsWindowEnabled(m_hWnd);
}
BOOL CWnd::ShowWindow(int nCmdShow) {
  return ::ShowWindow(m_hWnd, nCmdShow);
}
BOOL CWnd::IsWindowVisible() const {
  return ::IsWindowVisible(m_hWnd);
}
LONG CWnd::GetStyle() const {
  return static_cast<LONG>(GetWindowLongPtrA(m_hWnd, GWL_STYLE));
}
void CWnd::GetWindowRect(LPRECT lpRect) const {
  ::GetWindowRect(m_hWnd, lpRect);
}
void CWnd::GetClientRect(LPRECT lpRect) const {
  ::GetClientRect(m_hWnd, lpRect);
}
void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint) {
  ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
}
CWnd* CWnd::SetFocus() {
  return FromHandle(::SetFocus(m_hWnd));
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
  CDataExchange dx(this, bSaveAndValidate);
  try {
    DoDataExchange(&dx);
    return TRUE;
  } catch (CUserException* e) {
    e->Delete();  // the user was told already
  } catch (CException* e) {
    TRACE("CWnd::UpdateData: the data exchange failed with an exception\n");
    e->Delete();
  }
  return FALSE;
}

void CWnd::DoDataExchange(CDataExchange*) {}

// --- the ActiveX-control side -------------------------------------------------------------

BOOL CWnd::AttachControl(HWND hWnd, IDispatch* pControl) {
  if (hWnd && !m_hWnd && !Attach(hWnd)) return FALSE;
  if (pControl) pControl->AddRef();
  if (m_pCtrlDispatch) m_pCtrlDispatch->Release();
  m_pCtrlDispatch = pControl;
  return TRUE;
}

void CWnd::DetachControl() {
  if (m_pCtrlDispatch) m_pCtrlDispatch->Release();
  m_pCtrlDispatch = nullptr;
}

void AFX_CDECL CWnd::InvokeHelper(DISPID dwDispID, WORD wFlags, VARTYPE vtRet, void* pvRet,
                                  const BYTE* pbParamInfo, ...) {
  if (!m_pCtrlDispatch) {
    TRACE("CWnd::InvokeHelper(dispid %d): the window holds no control\n", static_cast<int>(dwDispID));
    AfxThrowOleException(E_NOINTERFACE);
  }
  COleDispatchDriver driver(m_pCtrlDispatch, FALSE);
  va_list args;
  va_start(args, pbParamInfo);
  try {
    driver.InvokeHelperV(dwDispID, wFlags, vtRet, pvRet, pbParamInfo, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
}

void CWnd::GetProperty(DISPID dwDispID, VARTYPE vtProp, void* pvProp) const {
  const_cast<CWnd*>(this)->InvokeHelper(dwDispID, DISPATCH_PROPERTYGET, vtProp, pvProp, nullptr);
}

void AFX_CDECL CWnd::SetProperty(DISPID dwDispID, VARTYPE vtProp, ...) {
  if (!m_pCtrlDispatch) {
    TRACE("CWnd::SetProperty(dispid %d): the window holds no control\n", static_cast<int>(dwDispID));
    AfxThrowOleException(E_NOINTERFACE);
  }
  COleDispatchDriver driver(m_pCtrlDispatch, FALSE);
  va_list args;
  va_start(args, vtProp);
  try {
    driver.SetPropertyV(dwDispID, vtProp, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
}

// --- message routing ----------------------------------------------------------------------

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
  return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  LRESULT result = 0;
  if (message == WM_COMMAND) {
    if (!OnCommand(wParam, lParam)) return FALSE;
    if (pResult) *pResult = 1;
    return TRUE;
  }
  const AFX_MSGMAP_ENTRY* e = FindEntry(GetMessageMap(), message, 0, 0);
  if (!e) return FALSE;
  AFX_PMSGW pfn = static_cast<AFX_PMSGW>(e->pfn);
  switch (e->nSig) {
    case AfxSig_vv:
      (this->*pfn)();
      break;
    case AfxSig_is:
      result =
          (this->*AfxPunMsgFn<int (CWnd::*)(LPCREATESTRUCT)>(pfn))(reinterpret_cast<LPCREATESTRUCT>(lParam));
      break;
    case AfxSig_bWww:
      result = (this->*AfxPunMsgFn<BOOL (CWnd::*)(CWnd*, UINT, UINT)>(pfn))(
          FromHandle(reinterpret_cast<HWND>(wParam)), LOWORD(lParam), HIWORD(lParam));
      break;
    case AfxSig_vwii:
      (this->*AfxPunMsgFn<void (CWnd::*)(UINT, int, int)>(pfn))(
          static_cast<UINT>(wParam), static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
      break;
    case AfxSig_vw:
      (this->*AfxPunMsgFn<void (CWnd::*)(UINT_PTR)>(pfn))(static_cast<UINT_PTR>(wParam));
      break;
    case AfxSig_lwl:
      result = (this->*AfxPunMsgFn<LRESULT (CWnd::*)(WPARAM, LPARAM)>(pfn))(wParam, lParam);
      break;
    default:
      TRACE("CWnd::OnWndMsg: message %u has an entry of unknown kind %u\n", message,
            static_cast<UINT>(e->nSig));
      return FALSE;
  }
  if (pResult) *pResult = result;
  return TRUE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_pfnSuper) return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
  return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
  return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM) {
  return OnCmdMsg(LOWORD(wParam), HIWORD(wParam), nullptr, nullptr);
}

void CWnd::PostNcDestroy() {}

int CWnd::OnCreate(LPCREATESTRUCT) {
  return static_cast<int>(Default());
}
void CWnd::OnDestroy() {
  Default();
}
void CWnd::OnClose() {
  Default();
}
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) {
  return static_cast<BOOL>(Default());
}
void CWnd::OnSize(UINT, int, int) {
  Default();
}
void CWnd::OnTimer(UINT_PTR) {
  Default();
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
  CWnd* wnd = CWnd::FromHandlePermanent(hWnd);
  if (!wnd) return ::DefWindowProcA(hWnd, nMsg, wParam, lParam);
  CWnd::CurrentMessage saved = wnd->m_current;
  wnd->m_current = {nMsg, wParam, lParam};
  LRESULT result = wnd->WindowProc(nMsg, wParam, lParam);
  wnd->m_current = saved;
  if (nMsg == WM_NCDESTROY && CWnd::FromHandlePermanent(hWnd) == wnd) {
    if (wnd->m_pfnSuper) SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(wnd->m_pfnSuper));
    wnd->m_pfnSuper = nullptr;
    wnd->Detach();
    wnd->PostNcDestroy();
  }
  return result;
}
