// Wrapper of the map's selection object (the map control's Selection property).
#pragma once
#include <afxdisp.h>

class CVOSelection : public COleDispatchDriver {
 public:
  CVOSelection() = default;
  explicit CVOSelection(LPDISPATCH dispatch) : COleDispatchDriver(dispatch) {}
  void Clear();
};
