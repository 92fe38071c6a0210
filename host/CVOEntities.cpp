// Calls of the CVOEntities wrapper: one InvokeHelper each, DISPIDs from VantorDispids.h.
#include "CVOEntities.h"

#include "VantorDispids.h"

LONG CVOEntities::GetEntityType(LONG id) {
  static const BYTE params[] = VTS_I4;
  LONG result = 0;
  InvokeHelper(VantorDispid::EntitiesGetEntityType, DISPATCH_METHOD, VT_I4, &result, params, id);
  return result;
}
