// COM apartments: per-thread initialisation counting. The platform runs every object in the
// process directly (no marshalling, no message pump), so an apartment is just a counted state
// of the thread: its concurrency model and how many successful CoInitialize(Ex) calls are still
// to be balanced.
//
// Documented behaviour followed: the first call answers S_OK, further calls in the same model
// S_FALSE; a call asking for the other model answers RPC_E_CHANGED_MODE and is not counted;
// a non-null reserved pointer is E_INVALIDARG. CoUninitialize without a matching call does
// nothing (Windows ignores it as well); the last one releases the thread's error object.

#include "ComInternal.h"
#include "kp/kpcom.h"

namespace {

struct Apartment {
  int depth = 0;
  DWORD model = COINIT_APARTMENTTHREADED;
};

thread_local Apartment t_apartment;

// Only the threading bit selects the model; the other COINIT bits are hints.
DWORD ModelOf(DWORD coInit) {
  return coInit & COINIT_APARTMENTTHREADED;
}

}  // namespace

namespace kp::com {
int ApartmentDepth() {
  return t_apartment.depth;
}
}  // namespace kp::com

extern "C" {

HRESULT WINAPI CoInitializeEx(LPVOID reserved, DWORD coInit) {
  if (reserved) return E_INVALIDARG;
  Apartment& a = t_apartment;
  if (a.depth == 0) {
    a.model = ModelOf(coInit);
    a.depth = 1;
    return S_OK;
  }
  if (a.model != ModelOf(coInit)) return RPC_E_CHANGED_MODE;
  ++a.depth;
  return S_FALSE;
}

HRESULT WINAPI CoInitialize(LPVOID reserved) {
  return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

void WINAPI CoUninitialize(void) {
  Apartment& a = t_apartment;
  if (a.depth == 0) return;
  if (--a.depth == 0) kp::com::ReleaseThreadErrorInfo();
}

HRESULT WINAPI OleInitialize(LPVOID reserved) {
  return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

void WINAPI OleUninitialize(void) {
  CoUninitialize();
}

}  // extern "C"
