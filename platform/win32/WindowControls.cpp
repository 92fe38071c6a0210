// The built-in "BUTTON", "STATIC" and "EDIT" classes.
//
// Windows behaviour followed: BM_CLICK makes the button send WM_COMMAND with
// MAKEWPARAM(id, BN_CLICKED) and its own handle to its parent; an automatic check box or radio
// button toggles (radio: sets) its check state first. BM_GETCHECK / BM_SETCHECK keep the
// state. A disabled button ignores BM_CLICK, as it ignores the mouse. BM_SETSTYLE changes the
// button's type bits (BS_DEFPUSHBUTTON <-> BS_PUSHBUTTON). STATIC and EDIT keep only their
// text (WM_SETTEXT, WM_GETTEXT); EDIT tells its parent EN_CHANGE when the text is set.
#include "WindowInternal.h"

namespace kp::win {

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WindowPtr w = Find(hwnd);
  if (!w) return 0;
  DWORD type = w->style & BS_TYPEMASK;
  switch (msg) {
    case BM_CLICK:
      if (w->style & WS_DISABLED) return 0;
      if (type == BS_AUTOCHECKBOX) w->check = w->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
      if (type == BS_AUTO3STATE) w->check = (w->check + 1) % 3;
      if (type == BS_AUTORADIOBUTTON) w->check = BST_CHECKED;
      if (w->parent) {
        SendMessageA(w->parent, WM_COMMAND, MAKEWPARAM(w->id, BN_CLICKED), reinterpret_cast<LPARAM>(hwnd));
      }
      return 0;
    case BM_GETCHECK:
      return w->check;
    case BM_SETCHECK:
      w->check = static_cast<int>(wParam);
      return 0;
    case BM_GETSTATE:
      return w->check;
    case BM_SETSTYLE:
      w->style = (w->style & ~static_cast<DWORD>(0xFFFF)) | (static_cast<DWORD>(wParam) & 0xFFFF);
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = DefWindowProcA(hwnd, msg, wParam, lParam);
  if (msg == WM_SETTEXT) {
    HWND parent = GetParent(hwnd);
    if (parent) {
      SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), EN_CHANGE),
                   reinterpret_cast<LPARAM>(hwnd));
    }
  }
  return result;
}

}  // namespace kp::win
