// MessageBoxA and the default answer of a message box.
//
// The box goes to the installed desktop; with none, the headless desktop writes it to stderr
// and answers the default button. Windows behaviour followed: a null caption reads "Error"; the
// default button is MB_DEFBUTTONn of the type's button set (MB_OK: OK; MB_OKCANCEL: OK, Cancel;
// MB_ABORTRETRYIGNORE; MB_YESNOCANCEL; MB_YESNO; MB_RETRYCANCEL; MB_CANCELTRYCONTINUE), and a
// MB_DEFBUTTONn beyond the set (or an unknown set) falls back to the first button.
#include "WindowInternal.h"

namespace kp {

int MessageBoxDefaultAnswer(UINT type) {
  static const int kSets[][3] = {
      {IDOK, 0, 0},                        // MB_OK
      {IDOK, IDCANCEL, 0},                 // MB_OKCANCEL
      {IDABORT, IDRETRY, IDIGNORE},        // MB_ABORTRETRYIGNORE
      {IDYES, IDNO, IDCANCEL},             // MB_YESNOCANCEL
      {IDYES, IDNO, 0},                    // MB_YESNO
      {IDRETRY, IDCANCEL, 0},              // MB_RETRYCANCEL
      {IDCANCEL, IDTRYAGAIN, IDCONTINUE},  // MB_CANCELTRYCONTINUE
  };
  UINT set = type & MB_TYPEMASK;
  if (set >= sizeof kSets / sizeof kSets[0]) return IDOK;
  UINT n = (type & MB_DEFMASK) >> 8;
  return (n < 3 && kSets[set][n] != 0) ? kSets[set][n] : kSets[set][0];
}

}  // namespace kp

extern "C" {

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  return kp::win::EffectiveDesktop().MessageBox(owner, text ? text : "", caption ? caption : "Error", type);
}

BOOL WINAPI MessageBeep(UINT) {
  return TRUE;
}

}  // extern "C"
