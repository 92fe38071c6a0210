// Calls of the CVOHighlight wrapper: one InvokeHelper each, DISPIDs from VantorDispids.h.
#include "CVOHighlight.h"

#include "VantorDispids.h"

void CVOHighlight::SetHighlight(LONG* ids, LONG count, LONG on, LONG redraw) {
  static const BYTE params[] = VTS_PI4 VTS_I4 VTS_I4 VTS_I4;
  InvokeHelper(VantorDispid::HighlightSetHighlight, DISPATCH_METHOD, VT_EMPTY, nullptr, params, ids, count, on,
               redraw);
}

void CVOHighlight::DrawEntities(LONG* ids, LONG count) {
  static const BYTE params[] = VTS_PI4 VTS_I4;
  InvokeHelper(VantorDispid::HighlightDrawEntities, DISPATCH_METHOD, VT_EMPTY, nullptr, params, ids, count);
}
