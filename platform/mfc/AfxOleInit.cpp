// AfxOleInit / AfxOleTerm: OLE for the application's thread. AfxOleInit answers TRUE when
// OleInitialize succeeded (S_OK, or S_FALSE when the thread had it already); each successful
// call is balanced by one AfxOleTerm.
#include "afxdisp.h"
#include "objbase.h"

namespace {
thread_local int t_oleInits = 0;
}  // namespace

BOOL AFXAPI AfxOleInit() {
  HRESULT hr = OleInitialize(nullptr);
  if (FAILED(hr)) {
    TRACE("AfxOleInit: OleInitialize failed with 0x%08X\n", static_cast<unsigned>(hr));
    return FALSE;
  }
  ++t_oleInits;
  return TRUE;
}

void AFXAPI AfxOleTerm(BOOL) {
  if (t_oleInits == 0) return;
  --t_oleInits;
  OleUninitialize();
}
