// Wrapper of the host's integer array VOIntArray (ProgID "VantorObjects.VOIntArray"), the pick list. GetData answers a VARIANT whose first value word is the address of the contiguous 32-bit elements (VT_BYREF|VT_I4).
#pragma once
#include <afxdisp.h>

class CVOIntArray : public COleDispatchDriver {
 public:
  CVOIntArray() = default;
  explicit CVOIntArray(LPDISPATCH dispatch) : COleDispatchDriver(dispatch) {}
  LONG GetSize();
  void Add(LONG value);
  void RemoveAll();
  LONG GetAt(LONG index);
  void RemoveAt(LONG index);
  VARIANT GetData();
};
