// Wrapper of the host's command gate (the map control's CommandGate property): whether a command may start now.
#pragma once
#include <afxdisp.h>

class CVOCommandGate : public COleDispatchDriver {
 public:
  CVOCommandGate() = default;
  explicit CVOCommandGate(LPDISPATCH dispatch) : COleDispatchDriver(dispatch) {}
  void PrepareLaunch();
  BOOL IsBlocked(LONG code);
  BOOL CanLaunch();
};
