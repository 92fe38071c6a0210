// Calls of the CVOSelection wrapper: one InvokeHelper each, DISPIDs from VantorDispids.h.
#include "CVOSelection.h"

#include "VantorDispids.h"

void CVOSelection::Clear() { InvokeHelper(VantorDispid::SelectionClear, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr); }
