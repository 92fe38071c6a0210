// Calls of the CVOIntArray wrapper: one InvokeHelper each, DISPIDs from VantorDispids.h.
#include "CVOIntArray.h"

#include "VantorDispids.h"

LONG CVOIntArray::GetSize() {
  LONG result = 0;
  InvokeHelper(VantorDispid::IntArrayGetSize, DISPATCH_METHOD, VT_I4, &result, nullptr);
  return result;
}

void CVOIntArray::Add(LONG value) {
  static const BYTE params[] = VTS_I4;
  InvokeHelper(VantorDispid::IntArrayAdd, DISPATCH_METHOD, VT_EMPTY, nullptr, params, value);
}

void CVOIntArray::RemoveAll() { InvokeHelper(VantorDispid::IntArrayRemoveAll, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr); }

LONG CVOIntArray::GetAt(LONG index) {
  static const BYTE params[] = VTS_I4;
  LONG result = 0;
  InvokeHelper(VantorDispid::IntArrayGetAt, DISPATCH_METHOD, VT_I4, &result, params, index);
  return result;
}

void CVOIntArray::RemoveAt(LONG index) {
  static const BYTE params[] = VTS_I4;
  InvokeHelper(VantorDispid::IntArrayRemoveAt, DISPATCH_METHOD, VT_EMPTY, nullptr, params, index);
}

VARIANT CVOIntArray::GetData() {
  VARIANT result;
  VariantInit(&result);
  InvokeHelper(VantorDispid::IntArrayGetData, DISPATCH_METHOD, VT_VARIANT, &result, nullptr);
  return result;
}
