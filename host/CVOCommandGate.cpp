// Calls of the CVOCommandGate wrapper: one InvokeHelper each, DISPIDs from VantorDispids.h.
#include "CVOCommandGate.h"

#include "VantorDispids.h"

void CVOCommandGate::PrepareLaunch() {
  InvokeHelper(VantorDispid::GatePrepareLaunch, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
}

BOOL CVOCommandGate::IsBlocked(LONG code) {
  static const BYTE params[] = VTS_I4;
  BOOL result = FALSE;
  InvokeHelper(VantorDispid::GateIsBlocked, DISPATCH_METHOD, VT_BOOL, &result, params, code);
  return result;
}

BOOL CVOCommandGate::CanLaunch() {
  BOOL result = FALSE;
  InvokeHelper(VantorDispid::GateCanLaunch, DISPATCH_METHOD, VT_BOOL, &result, nullptr);
  return result;
}
