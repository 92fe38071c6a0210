// Wrapper of the map's highlight set (the map control's Highlight property). Id lists are a by-reference long addressing the first id, then the count.
#pragma once
#include <afxdisp.h>

class CVOHighlight : public COleDispatchDriver {
 public:
  CVOHighlight() = default;
  explicit CVOHighlight(LPDISPATCH dispatch) : COleDispatchDriver(dispatch) {}
  void SetHighlight(LONG* ids, LONG count, LONG on, LONG redraw);
  void DrawEntities(LONG* ids, LONG count);
};
