// Private to kpwin32: the window table behind winuser.h, shared by the window manager
// (Window.cpp), the built-in control classes (Window*Class.cpp), the dialog manager
// (WindowDialog.cpp), message boxes and the cursor.
//
// A window is a shared record in a process-wide table; the HWND is its index + 1, and slots are
// never reused, so a stale handle is recognised as invalid. Lookups hold the table's lock only
// while they copy the record's shared pointer; window procedures always run without it, so they
// may create, message and destroy windows freely. Records are meant to be used by the one
// user-interface thread (as Windows binds a window to its creating thread).
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kp/kpdesktop.h"
#include "winnls.h"
#include "winuser.h"

namespace kp::win {

struct ListItem {
  std::string text;  // GBK
  LPARAM data = 0;
};

struct Window {
  HWND hwnd = nullptr;
  std::string className;  // as registered
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  int id = 0;
  HWND parent = nullptr;
  std::vector<HWND> children;  // in creation order
  std::string text;            // GBK
  LONG_PTR userData = 0;
  HINSTANCE instance = nullptr;
  RECT rect{};                       // relative to the parent's client area
  std::vector<unsigned char> extra;  // cbWndExtra bytes (the dialog's DWLP_ slots live here)
  bool destroying = false;
  bool destroyed = false;

  // LISTBOX
  std::vector<ListItem> items;
  int curSel = -1;
  // BUTTON
  int check = BST_UNCHECKED;
  // Dialogs ("#32770")
  bool isDialog = false;
  int baseX = 0, baseY = 0;  // dialog base units of the template font
  bool modalOpen = false;    // inside kp::RunModalLoop
  bool ended = false;        // EndDialog called
  int defId = 0;             // DM_SETDEFID; 0: look for a BS_DEFPUSHBUTTON, else IDOK
  INT_PTR endResult = 0;
};

using WindowPtr = std::shared_ptr<Window>;

// The record of a live window, or null (and ERROR_INVALID_WINDOW_HANDLE) for any other handle.
WindowPtr Find(HWND hwnd);
// Creates a window like CreateWindowExA; `prepare` runs on the new record before the creation
// messages are sent (the dialog manager sets up the dialog fields there).
HWND CreateWindowInternal(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                          int cx, int cy, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param,
                          const std::function<void(Window&)>& prepare);

// The procedures of the built-in classes.
LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The dialog class's procedure is DefDlgProcA.
constexpr int kDialogExtraBytes = DWLP_USER + sizeof(LONG_PTR);

// The installed desktop, or the built-in headless one.
Desktop& EffectiveDesktop();

// Copies GBK text into a caller's buffer of `size` bytes: at most size - 1 bytes and a NUL,
// never splitting a double-byte character. Answers the bytes copied (without the NUL).
int CopyText(const std::string& text, char* buffer, int size);

// Writes a diagnostic line to the trace sink (OutputDebugStringA), printf-style.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kp::win
