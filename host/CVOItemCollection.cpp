// Calls of the CVOItemCollection wrapper: one InvokeHelper each, DISPIDs from VantorDispids.h.
#include "CVOItemCollection.h"

#include "VantorDispids.h"

LPDISPATCH CVOItemCollection::Item(const VARIANT& index) {
  static const BYTE params[] = VTS_VARIANT;
  LPDISPATCH result = nullptr;
  InvokeHelper(VantorDispid::CollectionItem, DISPATCH_METHOD, VT_DISPATCH, &result, params, &index);
  return result;
}
