// The cursor: LoadCursorA for the system cursors, SetCursor and GetCursor.
//
// A system cursor's handle is its IDC_ number (32512 for IDC_ARROW, ...) in the handle type; no
// other cursor resources exist, so LoadCursorA with a module instance, or an unknown id, answers
// NULL with ERROR_RESOURCE_NAME_NOT_FOUND. The cursor starts as the arrow. SetCursor answers
// the previous cursor (Windows behaviour) and tells the desktop when the cursor changes; a null
// cursor (hidden) is reported as a null id.
#include <atomic>

#include "WindowInternal.h"

namespace {

constexpr uintptr_t kSystemCursors[] = {32512, 32513, 32514, 32515, 32516, 32646, 32648, 32649, 32650};

std::atomic<HCURSOR> g_cursor{reinterpret_cast<HCURSOR>(uintptr_t{32512})};

}  // namespace

namespace kp {

std::string CursorName(LPCSTR id) {
  switch (reinterpret_cast<uintptr_t>(id)) {
    case 0:
      return "(none)";
    case 32512:
      return "IDC_ARROW";
    case 32513:
      return "IDC_IBEAM";
    case 32514:
      return "IDC_WAIT";
    case 32515:
      return "IDC_CROSS";
    case 32516:
      return "IDC_UPARROW";
    case 32646:
      return "IDC_SIZEALL";
    case 32648:
      return "IDC_NO";
    case 32649:
      return "IDC_HAND";
    case 32650:
      return "IDC_APPSTARTING";
    default:
      return IS_INTRESOURCE(id) ? "#" + std::to_string(reinterpret_cast<uintptr_t>(id)) : std::string(id);
  }
}

}  // namespace kp

extern "C" {

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
  if (!instance && IS_INTRESOURCE(name)) {
    for (uintptr_t id : kSystemCursors) {
      if (reinterpret_cast<uintptr_t>(name) == id) return reinterpret_cast<HCURSOR>(id);
    }
  }
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return nullptr;
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
  HCURSOR previous = g_cursor.exchange(cursor);
  if (previous != cursor) kp::win::EffectiveDesktop().CursorChanged(reinterpret_cast<LPCSTR>(cursor));
  return previous;
}

HCURSOR WINAPI GetCursor(void) {
  return g_cursor.load();
}

}  // extern "C"
