// Wrapper of the map's item collection (the map control's ItemCollection property).
#pragma once
#include <afxdisp.h>

class CVOItemCollection : public COleDispatchDriver {
 public:
  CVOItemCollection() = default;
  explicit CVOItemCollection(LPDISPATCH dispatch) : COleDispatchDriver(dispatch) {}
  LPDISPATCH Item(const VARIANT& index);
};
