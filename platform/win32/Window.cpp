// The window manager: the class registry, the window table, creation and destruction, message
// sending and the posted-message queue, and the window attributes (text, styles, ids, window
// longs, enabled and visible state, rectangles).
//
// Windows behaviour followed, from the documentation of each call:
// - CreateWindowExA sends WM_NCCREATE then WM_CREATE with a CREATESTRUCTA; FALSE from the first
//   or -1 from the second destroys the window and answers NULL. A child's hMenu is its id.
// - DestroyWindow sends WM_DESTROY to the window first, then destroys its children (in
//   creation order, each the same way), then sends WM_NCDESTROY; after that the handle is
//   invalid. The window is taken out of its parent's child list before the parent goes on.
// - SetWindowTextA / GetWindowTextA / GetWindowTextLengthA go through WM_SETTEXT, WM_GETTEXT
//   and WM_GETTEXTLENGTH, which DefWindowProcA answers from the window's own text.
// - EnableWindow answers nonzero when the window WAS disabled; ShowWindow nonzero when it WAS
//   visible. Both send their notification (WM_ENABLE, WM_SHOWWINDOW) only on a change.
// Class names compare without regard to ASCII case. The posted-message queue is one
// process-wide FIFO (a single user-interface thread is assumed); the modal loop drains it.
#include <strings.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>

#include "WindowInternal.h"
#include "debugapi.h"
#include "winnls.h"

namespace kp::win {
namespace {

struct ClassInfo {
  std::string name;
  WNDPROC proc;
  UINT style;
  int wndExtra;
  HINSTANCE instance;
  bool builtIn;
};

struct CaseLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
  }
};

struct State {
  std::mutex lock;
  std::vector<WindowPtr> windows;  // slot i holds HWND i + 1; null once destroyed
  std::map<std::string, ClassInfo, CaseLess> classes;
  std::deque<MSG> posted;

  State() {
    classes["BUTTON"] = {"Button", ButtonProc, 0, 0, nullptr, true};
    classes["LISTBOX"] = {"ListBox", ListBoxProc, 0, 0, nullptr, true};
    classes["STATIC"] = {"Static", StaticProc, 0, 0, nullptr, true};
    classes["EDIT"] = {"Edit", EditProc, 0, 0, nullptr, true};
    classes["#32770"] = {"#32770", DefDlgProcA, 0, kDialogExtraBytes, nullptr, true};
  }
};

State& S() {
  static State* state = new State;  // outlives every static destructor that might message a window
  return *state;
}

size_t SlotOf(HWND hwnd) {
  return reinterpret_cast<uintptr_t>(hwnd);
}

void RemoveChild(HWND parent, HWND child) {
  if (WindowPtr p = Find(parent)) {
    auto& c = p->children;
    for (auto it = c.begin(); it != c.end(); ++it) {
      if (*it == child) {
        c.erase(it);
        break;
      }
    }
  }
}

void DestroyTree(const WindowPtr& w) {
  if (w->destroying) return;
  w->destroying = true;
  HWND hwnd = w->hwnd;
  SendMessageA(hwnd, WM_DESTROY, 0, 0);
  std::vector<HWND> children = w->children;
  for (HWND child : children) {
    if (WindowPtr c = Find(child)) DestroyTree(c);
  }
  SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
  RemoveChild(w->parent, hwnd);
  std::lock_guard<std::mutex> guard(S().lock);
  w->destroyed = true;
  S().windows[SlotOf(hwnd) - 1].reset();
}

}  // namespace

WindowPtr Find(HWND hwnd) {
  size_t slot = SlotOf(hwnd);
  {
    std::lock_guard<std::mutex> guard(S().lock);
    if (slot >= 1 && slot <= S().windows.size() && S().windows[slot - 1]) return S().windows[slot - 1];
  }
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return nullptr;
}

HWND CreateWindowInternal(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                          int cx, int cy, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param,
                          const std::function<void(Window&)>& prepare) {
  if (!className || IS_INTRESOURCE(className)) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  WindowPtr parentRecord;
  if (parent) {
    parentRecord = Find(parent);
    if (!parentRecord) return nullptr;
  } else if (style & WS_CHILD) {
    SetLastError(1406);  // ERROR_TLW_WITH_WSCHILD: a child window needs a parent
    return nullptr;
  }
  auto w = std::make_shared<Window>();
  {
    std::lock_guard<std::mutex> guard(S().lock);
    auto it = S().classes.find(className);
    if (it == S().classes.end()) {
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    w->className = it->second.name;
    w->proc = it->second.proc;
    w->extra.assign(static_cast<size_t>(it->second.wndExtra), 0);
    S().windows.push_back(w);
    w->hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(S().windows.size()));
  }
  w->style = style;
  w->exStyle = exStyle;
  w->id = (style & WS_CHILD) ? static_cast<int>(reinterpret_cast<uintptr_t>(menu)) : 0;
  w->parent = parent;
  w->text = windowName ? windowName : "";
  w->instance = instance;
  w->rect = {x == CW_USEDEFAULT ? 0 : x, y == CW_USEDEFAULT ? 0 : y, 0, 0};
  w->rect.right = w->rect.left + (cx == CW_USEDEFAULT ? 0 : cx);
  w->rect.bottom = w->rect.top + (cy == CW_USEDEFAULT ? 0 : cy);
  if (prepare) prepare(*w);
  if (parentRecord) parentRecord->children.push_back(w->hwnd);

  CREATESTRUCTA cs{param,      instance,  menu,   parent, cy, cx, y, x, static_cast<LONG>(style),
                   windowName, className, exStyle};
  HWND hwnd = w->hwnd;
  if (!SendMessageA(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) ||
      (IsWindow(hwnd) && SendMessageA(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1)) {
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
    return nullptr;
  }
  return IsWindow(hwnd) ? hwnd : nullptr;
}

Desktop& EffectiveDesktop() {
  static HeadlessDesktop headless;
  Desktop* d = GetDesktop();
  return d ? *d : headless;
}

int CopyText(const std::string& text, char* buffer, int size) {
  if (!buffer || size <= 0) return 0;
  int n = 0;
  int limit = size - 1;
  int length = static_cast<int>(text.size());
  while (n < length && n < limit) {
    int step = (IsDBCSLeadByte(static_cast<BYTE>(text[n])) && n + 1 < length) ? 2 : 1;
    if (n + step > limit) break;
    n += step;
  }
  std::memcpy(buffer, text.data(), static_cast<size_t>(n));
  buffer[n] = '\0';
  return n;
}

void Trace(const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  OutputDebugStringA(line);
}

}  // namespace kp::win

using kp::win::Find;
using kp::win::WindowPtr;

extern "C" {

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) {
  if (!wc || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName) || !wc->lpfnWndProc ||
      wc->cbWndExtra < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto& s = kp::win::S();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.classes.count(wc->lpszClassName)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  s.classes[wc->lpszClassName] = {wc->lpszClassName, wc->lpfnWndProc, wc->style,
                                  wc->cbWndExtra,    wc->hInstance,   false};
  return static_cast<ATOM>(0xC000 + s.classes.size());
}

BOOL WINAPI UnregisterClassA(LPCSTR name, HINSTANCE) {
  auto& s = kp::win::S();
  std::lock_guard<std::mutex> guard(s.lock);
  auto it = name && !IS_INTRESOURCE(name) ? s.classes.find(name) : s.classes.end();
  if (it == s.classes.end() || it->second.builtIn) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  s.classes.erase(it);
  return TRUE;
}

int WINAPI GetClassNameA(HWND hwnd, LPSTR buffer, int size) {
  WindowPtr w = Find(hwnd);
  return w ? kp::win::CopyText(w->className, buffer, size) : 0;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                            int cx, int cy, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  return kp::win::CreateWindowInternal(exStyle, className, windowName, style, x, y, cx, cy, parent, menu,
                                       instance, param, nullptr);
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
  WindowPtr w = Find(hwnd);
  if (!w) return FALSE;
  kp::win::DestroyTree(w);
  return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd) {
  DWORD saved = GetLastError();
  bool live = Find(hwnd) != nullptr;
  SetLastError(saved);
  return live;
}

HWND WINAPI GetParent(HWND hwnd) {
  WindowPtr w = Find(hwnd);
  return w ? w->parent : nullptr;
}

HWND WINAPI GetDlgItem(HWND dlg, int id) {
  WindowPtr w = Find(dlg);
  if (!w) return nullptr;
  for (HWND child : w->children) {
    WindowPtr c = Find(child);
    if (c && c->id == id) return child;
  }
  SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return nullptr;
}

int WINAPI GetDlgCtrlID(HWND hwnd) {
  WindowPtr w = Find(hwnd);
  return w ? w->id : 0;
}

HWND WINAPI GetWindow(HWND hwnd, UINT cmd) {
  WindowPtr w = Find(hwnd);
  if (!w) return nullptr;
  if (cmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
  if (cmd == GW_OWNER) return (w->style & WS_CHILD) ? nullptr : w->parent;
  WindowPtr p = Find(w->parent);
  if (!p) return cmd == GW_HWNDFIRST || cmd == GW_HWNDLAST ? hwnd : nullptr;
  const auto& sib = p->children;
  size_t i = 0;
  while (i < sib.size() && sib[i] != hwnd) ++i;
  switch (cmd) {
    case GW_HWNDFIRST:
      return sib.front();
    case GW_HWNDLAST:
      return sib.back();
    case GW_HWNDNEXT:
      return i + 1 < sib.size() ? sib[i + 1] : nullptr;
    case GW_HWNDPREV:
      return i > 0 && i < sib.size() ? sib[i - 1] : nullptr;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

BOOL WINAPI EnableWindow(HWND hwnd, BOOL enable) {
  WindowPtr w = Find(hwnd);
  if (!w) return FALSE;
  BOOL wasDisabled = (w->style & WS_DISABLED) != 0;
  if (enable) {
    w->style &= ~static_cast<DWORD>(WS_DISABLED);
  } else {
    w->style |= WS_DISABLED;
  }
  if (wasDisabled == !enable) return wasDisabled;
  SendMessageA(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return wasDisabled;
}

BOOL WINAPI IsWindowEnabled(HWND hwnd) {
  WindowPtr w = Find(hwnd);
  return w && !(w->style & WS_DISABLED);
}

BOOL WINAPI ShowWindow(HWND hwnd, int cmd) {
  WindowPtr w = Find(hwnd);
  if (!w) return FALSE;
  BOOL wasVisible = (w->style & WS_VISIBLE) != 0;
  bool show = cmd != SW_HIDE;
  if (show) {
    w->style |= WS_VISIBLE;
  } else {
    w->style &= ~static_cast<DWORD>(WS_VISIBLE);
  }
  if (wasVisible != static_cast<BOOL>(show)) SendMessageA(hwnd, WM_SHOWWINDOW, show, 0);
  return wasVisible;
}

BOOL WINAPI IsWindowVisible(HWND hwnd) {
  for (WindowPtr w = Find(hwnd); w; w = w->parent ? Find(w->parent) : nullptr) {
    if (!(w->style & WS_VISIBLE)) return FALSE;
    if (!(w->style & WS_CHILD)) return TRUE;
  }
  return FALSE;
}

BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text) {
  if (!IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int WINAPI GetWindowTextA(HWND hwnd, LPSTR buffer, int size) {
  if (buffer && size > 0) buffer[0] = '\0';
  if (!IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return static_cast<int>(
      SendMessageA(hwnd, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

int WINAPI GetWindowTextLengthA(HWND hwnd) {
  return static_cast<int>(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

BOOL WINAPI SetDlgItemTextA(HWND dlg, int id, LPCSTR text) {
  return SetWindowTextA(GetDlgItem(dlg, id), text);
}

UINT WINAPI GetDlgItemTextA(HWND dlg, int id, LPSTR buffer, int size) {
  return static_cast<UINT>(GetWindowTextA(GetDlgItem(dlg, id), buffer, size));
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hwnd, int index) {
  WindowPtr w = Find(hwnd);
  if (!w) return 0;
  switch (index) {
    case GWLP_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT:
      return reinterpret_cast<LONG_PTR>(w->parent);
    case GWLP_ID:
      return w->id;
    case GWL_STYLE:
      return static_cast<LONG>(w->style);
    case GWL_EXSTYLE:
      return static_cast<LONG>(w->exStyle);
    case GWLP_USERDATA:
      return w->userData;
    default:
      break;
  }
  if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  LONG_PTR value;
  std::memcpy(&value, w->extra.data() + index, sizeof value);
  return value;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
  WindowPtr w = Find(hwnd);
  if (!w) return 0;
  LONG_PTR old = GetWindowLongPtrA(hwnd, index);
  switch (index) {
    case GWLP_WNDPROC:
      w->proc = reinterpret_cast<WNDPROC>(value);
      return old;
    case GWLP_HINSTANCE:
      w->instance = reinterpret_cast<HINSTANCE>(value);
      return old;
    case GWLP_HWNDPARENT:
      w->parent = reinterpret_cast<HWND>(value);  // the owner of a top-level window
      return old;
    case GWLP_ID:
      w->id = static_cast<int>(value);
      return old;
    case GWL_STYLE:
      w->style = static_cast<DWORD>(value);
      return old;
    case GWL_EXSTYLE:
      w->exStyle = static_cast<DWORD>(value);
      return old;
    case GWLP_USERDATA:
      w->userData = value;
      return old;
    default:
      break;
  }
  if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  std::memcpy(w->extra.data() + index, &value, sizeof value);
  return old;
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect) {
  WindowPtr w = Find(hwnd);
  if (!w || !rect) return FALSE;
  RECT r = w->rect;
  for (WindowPtr p = (w->style & WS_CHILD) ? Find(w->parent) : nullptr; p;
       p = (p->style & WS_CHILD) ? Find(p->parent) : nullptr) {
    r.left += p->rect.left, r.right += p->rect.left;
    r.top += p->rect.top, r.bottom += p->rect.top;
  }
  *rect = r;
  return TRUE;
}

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
  WindowPtr w = Find(hwnd);
  if (!w || !rect) return FALSE;
  *rect = {0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  return TRUE;
}

BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int cx, int cy, BOOL) {
  WindowPtr w = Find(hwnd);
  if (!w) return FALSE;
  w->rect = {x, y, x + cx, y + cy};
  SendMessageA(hwnd, WM_MOVE, 0, MAKELONG(x, y));
  SendMessageA(hwnd, WM_SIZE, 0, MAKELONG(cx, cy));
  return TRUE;
}

static HWND g_focus = nullptr;

HWND WINAPI SetFocus(HWND hwnd) {
  HWND previous = IsWindow(g_focus) ? g_focus : nullptr;
  if (hwnd && !IsWindow(hwnd)) return nullptr;
  g_focus = hwnd;
  if (previous && previous != hwnd) SendMessageA(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  if (hwnd && previous != hwnd) SendMessageA(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
  return previous;
}

HWND WINAPI GetFocus(void) {
  return IsWindow(g_focus) ? g_focus : nullptr;
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WindowPtr w = Find(hwnd);
  if (!w || !w->proc) return 0;
  return w->proc(hwnd, msg, wParam, lParam);
}

LRESULT WINAPI SendDlgItemMessageA(HWND dlg, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND item = GetDlgItem(dlg, id);
  return item ? SendMessageA(item, msg, wParam, lParam) : 0;
}

BOOL WINAPI PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (hwnd && !IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  auto& s = kp::win::S();
  std::lock_guard<std::mutex> guard(s.lock);
  s.posted.push_back(MSG{hwnd, msg, wParam, lParam, 0, {0, 0}});
  return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
  PostMessageA(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0);
}

BOOL WINAPI PeekMessageA(LPMSG out, HWND hwnd, UINT first, UINT last, UINT remove) {
  auto& s = kp::win::S();
  std::lock_guard<std::mutex> guard(s.lock);
  for (auto it = s.posted.begin(); it != s.posted.end(); ++it) {
    if (hwnd && it->hwnd != hwnd) continue;
    if ((first || last) && (it->message < first || it->message > last)) continue;
    if (out) *out = *it;
    if (remove & PM_REMOVE) s.posted.erase(it);
    return TRUE;
  }
  return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
  if (!msg || !msg->hwnd) return 0;  // thread messages have no window procedure
  return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WindowPtr w = Find(hwnd);
  if (!w) return 0;
  switch (msg) {
    case WM_NCCREATE:
      return TRUE;
    case WM_SETTEXT:
      w->text = lParam ? reinterpret_cast<LPCSTR>(lParam) : "";
      return TRUE;
    case WM_GETTEXT:
      return kp::win::CopyText(w->text, reinterpret_cast<LPSTR>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->text.size());
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_SETCURSOR:
      return FALSE;  // let the parent decide; nobody chose a cursor here
    default:
      return 0;
  }
}

int WINAPI MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  long long product = static_cast<long long>(number) * numerator;
  bool negative = (product < 0) != (denominator < 0);
  long long a = product < 0 ? -product : product;
  long long d = denominator < 0 ? -static_cast<long long>(denominator) : denominator;
  long long q = (a + d / 2) / d;  // rounds half away from zero
  if (q > 0x7FFFFFFFLL) return -1;
  return static_cast<int>(negative ? -q : q);
}

}  // extern "C"
