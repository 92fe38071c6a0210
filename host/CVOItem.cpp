// Calls of the CVOItem wrapper: one InvokeHelper each, DISPIDs from VantorDispids.h.
#include "CVOItem.h"

#include "VantorDispids.h"

double CVOItem::GetItemScale() {
  double result = 0;
  InvokeHelper(VantorDispid::ItemScale, DISPATCH_PROPERTYGET, VT_R8, &result, nullptr);
  return result;
}
