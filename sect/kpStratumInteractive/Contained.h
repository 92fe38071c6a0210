// Containment of exceptions at the module's edge. The host automation wrappers report a failed
// call by throwing (a heap-allocated COleException* or COleDispatchException*, as MFC does), but
// no C++ exception may leave an exported function: the host's caller may be C, or a host that
// does not know MFC's exception objects. The command and the stratum creation run each step
// that talks to the host through RunContained and turn a failure into their own outcome (a
// failed creation, the end of the command).
#pragma once
#include <afxwin.h>

#include <exception>

// Runs `fn`. An exception that leaves it is traced with `where` and dropped (a CException* is
// deleted); the answer is then false, else true. Never throws.
template <typename Fn>
bool RunContained(const char* where, Fn&& fn) noexcept {
  try {
    fn();
    return true;
  } catch (CException* e) {
    TCHAR text[256] = "";
    e->GetErrorMessage(text, sizeof text / sizeof text[0]);
    TRACE("kpSect03StratumSel: %s failed: %s\n", where, text);
    e->Delete();
  } catch (const std::exception& e) {
    TRACE("kpSect03StratumSel: %s failed: %s\n", where, e.what());
  } catch (...) {
    TRACE("kpSect03StratumSel: %s failed\n", where);
  }
  return false;
}
