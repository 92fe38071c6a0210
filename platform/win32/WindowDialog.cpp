// Dialogs: creation from a KpDialogTemplate, the dialog class's procedure (DefDlgProcA),
// EndDialog, dialog units, and the modal loop that takes a person's actions from the desktop.
//
// Windows behaviour followed:
// - The dialog window is created hidden with the template's styles and caption; the controls
//   follow in template order (their style gets WS_CHILD); then WM_INITDIALOG goes to the dialog
//   procedure with wParam = the first control with WS_TABSTOP and lParam = the init value; the
//   dialog is shown afterwards if the template has WS_VISIBLE. A control that cannot be created
//   fails the whole dialog unless the template has DS_NOFAILCREATE.
// - DefDlgProcA calls the dialog procedure (DWLP_DLGPROC) first. A nonzero answer means
//   "handled": the result is DWLP_MSGRESULT, except for WM_INITDIALOG whose answer is returned
//   as it is. Unhandled: WM_CLOSE becomes WM_COMMAND IDCANCEL; DM_GETDEFID answers
//   MAKELRESULT(id, DC_HASDEFID) for the DM_SETDEFID id, else the first BS_DEFPUSHBUTTON, else
//   0; everything else goes to DefWindowProcA.
// - Dialog units: x * baseX / 4 and y * baseY / 8 (MulDiv). Windows measures the template font;
//   without a font rasteriser we take the font's pixel height at 96 dpi as baseY and half of it
//   (rounded up: the half-width Latin letters of a CJK font such as 宋体) as baseX, so 宋体 9 pt
//   gives 6 x 12. Without DS_SETFONT the system font's 8 x 16 applies (GetDialogBaseUnits).
// - The modal loop shows the dialog, as DialogBox does whether or not the template has
//   WS_VISIBLE; EndDialog hides it.
// - Keyboard handling of a modal dialog (IsDialogMessage): Enter sends WM_COMMAND for the
//   default button (DM_GETDEFID, else IDOK), Escape WM_COMMAND IDCANCEL; a click on a disabled
//   or hidden control does nothing.
#include <cstring>

#include "WindowInternal.h"

namespace kp::win {
namespace {

constexpr int kSystemBaseX = 8;
constexpr int kSystemBaseY = 16;

void BaseUnitsOf(const KpDialogTemplate& t, int* x, int* y) {
  if ((t.style & DS_SETFONT) && t.pointSize > 0) {
    int height = MulDiv(t.pointSize, 96, 72);
    *y = height;
    *x = (height + 1) / 2;
  } else {
    *x = kSystemBaseX;
    *y = kSystemBaseY;
  }
}

WindowPtr Dialog(HWND dlg) {
  WindowPtr w = Find(dlg);
  return w && w->isDialog ? w : nullptr;
}

int DefaultButtonId(HWND dlg) {
  LRESULT r = SendMessageA(dlg, DM_GETDEFID, 0, 0);
  return HIWORD(r) == DC_HASDEFID ? LOWORD(r) : IDOK;
}

// A person's click reaches only an enabled, visible control.
bool Reachable(HWND control) {
  return IsWindowEnabled(control) && IsWindowVisible(control);
}

void SendCommand(HWND dlg, int id, int code, HWND control) {
  SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

void SelectRow(HWND dlg, const DialogAction& a, bool doubleClick) {
  HWND list = GetDlgItem(dlg, a.controlId);
  if (!list || !Reachable(list)) {
    Trace("RunModalLoop: no list box %d to select in\n", a.controlId);
    return;
  }
  int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  if (a.row < 0 || a.row >= count) {
    Trace("RunModalLoop: row %d is not in list %d (%d rows)\n", a.row, a.controlId, count);
    return;
  }
  bool notify = (GetWindowLongPtrA(list, GWL_STYLE) & LBS_NOTIFY) != 0;
  SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(a.row), 0);
  if (notify) SendCommand(dlg, a.controlId, LBN_SELCHANGE, list);
  if (doubleClick && notify && IsWindow(dlg)) SendCommand(dlg, a.controlId, LBN_DBLCLK, list);
}

void Perform(HWND dlg, const DialogAction& a) {
  switch (a.kind) {
    case DialogAction::Click: {
      HWND button = GetDlgItem(dlg, a.controlId);
      if (button && Reachable(button)) {
        SendMessageA(button, BM_CLICK, 0, 0);
      } else {
        Trace("RunModalLoop: no enabled control %d to click\n", a.controlId);
      }
      break;
    }
    case DialogAction::Select:
      SelectRow(dlg, a, false);
      break;
    case DialogAction::DoubleClick:
      SelectRow(dlg, a, true);
      break;
    case DialogAction::Enter: {
      int id = DefaultButtonId(dlg);
      HWND button = GetDlgItem(dlg, id);
      if (!button || Reachable(button)) SendCommand(dlg, id, BN_CLICKED, button);
      break;
    }
    case DialogAction::Escape:
    case DialogAction::EndOfInput:
      SendCommand(dlg, IDCANCEL, BN_CLICKED, GetDlgItem(dlg, IDCANCEL));
      break;
    case DialogAction::Close:
      SendMessageA(dlg, WM_CLOSE, 0, 0);
      break;
  }
}

// Dispatches the posted messages; answers false when WM_QUIT came (it is posted again).
bool DrainPosted() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    DispatchMessageA(&msg);
  }
  return true;
}

}  // namespace

}  // namespace kp::win

using kp::win::Find;
using kp::win::WindowPtr;

extern "C" {

HWND WINAPI CreateDialogIndirectParamA(HINSTANCE instance, const KpDialogTemplate* t, HWND parent,
                                       DLGPROC proc, LPARAM init) {
  if (!t) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  int baseX, baseY;
  kp::win::BaseUnitsOf(*t, &baseX, &baseY);
  auto prepare = [&](kp::win::Window& w) {
    w.isDialog = true;
    w.baseX = baseX;
    w.baseY = baseY;
    LONG_PTR p = reinterpret_cast<LONG_PTR>(proc);
    std::memcpy(w.extra.data() + DWLP_DLGPROC, &p, sizeof p);
  };
  DWORD style = t->style & ~static_cast<DWORD>(WS_VISIBLE);
  HWND dlg = kp::win::CreateWindowInternal(
      t->exStyle, "#32770", t->caption, style, MulDiv(t->x, baseX, 4), MulDiv(t->y, baseY, 8),
      MulDiv(t->cx, baseX, 4), MulDiv(t->cy, baseY, 8), parent, nullptr, instance, nullptr, prepare);
  if (!dlg) return nullptr;
  HWND firstTabStop = nullptr;
  for (int i = 0; i < t->itemCount; ++i) {
    const KpDialogItemTemplate& item = t->items[i];
    HWND control =
        CreateWindowExA(item.exStyle, item.className, item.text ? item.text : "", item.style | WS_CHILD,
                        MulDiv(item.x, baseX, 4), MulDiv(item.y, baseY, 8), MulDiv(item.cx, baseX, 4),
                        MulDiv(item.cy, baseY, 8), dlg,
                        reinterpret_cast<HMENU>(static_cast<uintptr_t>(item.id)), instance, nullptr);
    if (!control) {
      kp::win::Trace("CreateDialogIndirectParamA: control %u of class %s failed\n", item.id,
                     item.className ? item.className : "(null)");
      if (t->style & DS_NOFAILCREATE) continue;
      DestroyWindow(dlg);
      return nullptr;
    }
    if (!firstTabStop && (item.style & WS_TABSTOP)) firstTabStop = control;
  }
  SendMessageA(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTabStop), init);
  if (IsWindow(dlg) && (t->style & WS_VISIBLE)) ShowWindow(dlg, SW_SHOW);
  return IsWindow(dlg) ? dlg : nullptr;
}

INT_PTR WINAPI DialogBoxIndirectParamA(HINSTANCE instance, const KpDialogTemplate* t, HWND parent,
                                       DLGPROC proc, LPARAM init) {
  HWND dlg = CreateDialogIndirectParamA(instance, t, parent, proc, init);
  if (!dlg) return -1;
  BOOL parentWasDisabled = parent ? EnableWindow(parent, FALSE) : TRUE;
  INT_PTR result = kp::RunModalLoop(dlg);
  if (parent && !parentWasDisabled) EnableWindow(parent, TRUE);
  if (IsWindow(dlg)) DestroyWindow(dlg);
  return result;
}

BOOL WINAPI EndDialog(HWND dlg, INT_PTR result) {
  WindowPtr w = kp::win::Dialog(dlg);
  if (!w) return FALSE;
  w->ended = true;
  w->endResult = result;
  ShowWindow(dlg, SW_HIDE);
  return TRUE;
}

LRESULT WINAPI DefDlgProcA(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  WindowPtr w = kp::win::Dialog(dlg);
  if (!w) return DefWindowProcA(dlg, msg, wParam, lParam);
  DLGPROC proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrA(dlg, DWLP_DLGPROC));
  if (proc) {
    SetWindowLongPtrA(dlg, DWLP_MSGRESULT, 0);
    INT_PTR handled = proc(dlg, msg, wParam, lParam);
    if (msg == WM_INITDIALOG) return handled;
    if (handled) return IsWindow(dlg) ? GetWindowLongPtrA(dlg, DWLP_MSGRESULT) : 0;
    if (!IsWindow(dlg)) return 0;
  }
  switch (msg) {
    case WM_CLOSE:
      kp::win::SendCommand(dlg, IDCANCEL, BN_CLICKED, GetDlgItem(dlg, IDCANCEL));
      return 0;
    case DM_SETDEFID:
      w->defId = static_cast<int>(wParam);
      return TRUE;
    case DM_GETDEFID: {
      if (w->defId) return MAKELRESULT(w->defId, DC_HASDEFID);
      for (HWND child : w->children) {
        WindowPtr c = Find(child);
        if (c && c->className == "Button" && (c->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
          return MAKELRESULT(c->id, DC_HASDEFID);
      }
      return 0;
    }
    default:
      return DefWindowProcA(dlg, msg, wParam, lParam);
  }
}

BOOL WINAPI MapDialogRect(HWND dlg, LPRECT rect) {
  WindowPtr w = kp::win::Dialog(dlg);
  if (!w || !rect) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  rect->left = MulDiv(rect->left, w->baseX, 4);
  rect->right = MulDiv(rect->right, w->baseX, 4);
  rect->top = MulDiv(rect->top, w->baseY, 8);
  rect->bottom = MulDiv(rect->bottom, w->baseY, 8);
  return TRUE;
}

LONG WINAPI GetDialogBaseUnits(void) {
  return MAKELONG(kp::win::kSystemBaseX, kp::win::kSystemBaseY);
}

}  // extern "C"

namespace kp {

INT_PTR RunModalLoop(HWND dlg) {
  WindowPtr w = win::Dialog(dlg);
  if (!w) return -1;
  Desktop& desktop = win::EffectiveDesktop();
  w->modalOpen = true;
  ShowWindow(dlg, SW_SHOW);  // a modal dialog is shown whether or not its template says WS_VISIBLE
  desktop.DialogOpened(dlg);
  bool quit = !win::DrainPosted();
  while (!w->ended && !w->destroyed && !quit) {
    DialogAction action = desktop.NextDialogAction(dlg);
    win::Perform(dlg, action);
    quit = !win::DrainPosted();
    if ((action.kind == DialogAction::EndOfInput || quit) && !w->ended && !w->destroyed) {
      win::Trace("RunModalLoop: no more input; the dialog ends as IDCANCEL\n");
      EndDialog(dlg, IDCANCEL);
    }
  }
  INT_PTR result = w->ended ? w->endResult : IDCANCEL;
  w->modalOpen = false;
  if (!w->destroyed) desktop.DialogClosed(dlg, static_cast<int>(result));
  w->ended = false;
  return result;
}

}  // namespace kp
