// Wrapper of one item of the map's item collection.
#pragma once
#include <afxdisp.h>

class CVOItem : public COleDispatchDriver {
 public:
  CVOItem() = default;
  explicit CVOItem(LPDISPATCH dispatch) : COleDispatchDriver(dispatch) {}
  double GetItemScale();
};
