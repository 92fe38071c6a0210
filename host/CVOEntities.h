// Wrapper of the map's entity table (the map control's Entities property): type codes by entity id.
#pragma once
#include <afxdisp.h>

class CVOEntities : public COleDispatchDriver {
 public:
  CVOEntities() = default;
  explicit CVOEntities(LPDISPATCH dispatch) : COleDispatchDriver(dispatch) {}
  LONG GetEntityType(LONG id);
};
