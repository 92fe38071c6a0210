// SAFEARRAYs: descriptors and data for the element types a VARIANT can hold (numbers, BSTR,
// VARIANT, IUnknown/IDispatch, DECIMAL). The element VARTYPE is kept in the 4 bytes before the
// descriptor (FADF_HAVEVARTYPE), as Windows does.
//
// Windows layout followed (the documentation is unclear, this is what Windows does): the
// descriptor stores the bounds right-most dimension first, so rgsabound[0] is the right-most
// one; SafeArrayCreate takes them left-most first; rgIndices lists indices left-most first and
// the left-most index varies fastest in memory (column-major, as VB arrays). SafeArrayRedim
// changes the right-most dimension, so the data grows or shrinks at its end.
// Errors: DISP_E_BADINDEX for an index or dimension out of range, DISP_E_ARRAYISLOCKED for
// destroying or resizing a locked array, E_UNEXPECTED for unlocking an unlocked one.
//
// Sizes come from callers (and, through ADO, from files and databases), so every element count
// and byte size is computed with overflow checks: SafeArrayCreate answers NULL and SafeArrayRedim
// E_OUTOFMEMORY for a size that does not fit, before anything is allocated. Automation counts an
// array's elements and bytes in 32-bit ULONGs (cElements, the element size, the BSTR and stream
// forms of a byte array), so a data block larger than 4 GiB - 1 does not fit either: it could not
// be described to a caller, and asking the heap for it would only fail more slowly.
// Indices are LONGs, so a dimension whose upper bound (lLbound + cElements - 1) lies outside the
// LONG range could not be addressed: SafeArrayCreate refuses it (NULL) and SafeArrayRedim answers
// DISP_E_BADINDEX (the documentation names no code for this case). SafeArrayGetUBound answers the
// documented DISP_E_OVERFLOW for a descriptor built by hand with such a bound.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "VarConvert.h"

namespace {

constexpr size_t kPrefix = 16;  // keeps the descriptor 16-byte aligned; the VARTYPE sits in its last 4 bytes

size_t DescriptorSize(UINT dims) {
  return sizeof(SAFEARRAY) + (dims - 1) * sizeof(SAFEARRAYBOUND);
}

VARTYPE& StoredType(SAFEARRAY* psa) {
  return *reinterpret_cast<VARTYPE*>(reinterpret_cast<char*>(psa) - 4);
}

bool IsSupported(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_VARIANT:
    case VT_UNKNOWN:
    case VT_DECIMAL:
      return true;
    default:
      return false;
  }
}

USHORT FeaturesOf(VARTYPE vt) {
  switch (vt) {
    case VT_BSTR:
      return FADF_BSTR;
    case VT_UNKNOWN:
      return FADF_UNKNOWN;
    case VT_DISPATCH:
      return FADF_DISPATCH;
    case VT_VARIANT:
      return FADF_VARIANT;
    default:
      return 0;
  }
}

size_t ElementCount(const SAFEARRAY* psa) {
  size_t n = 1;
  for (USHORT i = 0; i < psa->cDims; ++i) n *= psa->rgsabound[i].cElements;
  return n;
}

// The element count of `count` bounds, false when it or its size in bytes (elementSize each)
// does not fit a size_t. A zero count anywhere makes the array empty whatever the others are.
bool CheckedCount(const SAFEARRAYBOUND* bounds, size_t count, size_t elementSize, size_t* elements) {
  size_t n = 1;
  for (size_t i = 0; i < count; ++i)
    if (bounds[i].cElements == 0) {
      *elements = 0;
      return true;
    }
  for (size_t i = 0; i < count; ++i)
    if (__builtin_mul_overflow(n, static_cast<size_t>(bounds[i].cElements), &n)) return false;
  size_t bytes;
  if (__builtin_mul_overflow(n, elementSize, &bytes) || bytes > UINT32_MAX) return false;
  *elements = n;
  return true;
}

// Whether the upper bound lLbound + cElements - 1 is a LONG.
bool UpperBoundFits(const SAFEARRAYBOUND& b) {
  const long long upper = static_cast<long long>(b.lLbound) + static_cast<long long>(b.cElements) - 1;
  return upper >= INT32_MIN && upper <= INT32_MAX;
}

// Releases what elements [first, last) own.
void ClearElements(SAFEARRAY* psa, size_t first, size_t last) {
  if (!psa->pvData) return;
  char* data = static_cast<char*>(psa->pvData);
  for (size_t i = first; i < last; ++i) {
    void* cell = data + i * psa->cbElements;
    if (psa->fFeatures & FADF_BSTR) {
      SysFreeString(*static_cast<BSTR*>(cell));
      *static_cast<BSTR*>(cell) = nullptr;
    } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
      IUnknown*& p = *static_cast<IUnknown**>(cell);
      if (p) p->Release();
      p = nullptr;
    } else if (psa->fFeatures & FADF_VARIANT) {
      VariantClear(static_cast<VARIANT*>(cell));
    }
  }
}

// Copies one element from `from` into the uninitialised `to`.
HRESULT CopyElement(const SAFEARRAY* psa, const void* from, void* to) {
  if (psa->fFeatures & FADF_BSTR) {
    BSTR s = *static_cast<const BSTR*>(from);
    BSTR copy = s ? SysAllocStringByteLen(reinterpret_cast<LPCSTR>(s), SysStringByteLen(s)) : nullptr;
    if (s && !copy) return E_OUTOFMEMORY;
    *static_cast<BSTR*>(to) = copy;
  } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    IUnknown* p = *static_cast<IUnknown* const*>(from);
    if (p) p->AddRef();
    *static_cast<IUnknown**>(to) = p;
  } else if (psa->fFeatures & FADF_VARIANT) {
    VariantInit(static_cast<VARIANT*>(to));
    return VariantCopy(static_cast<VARIANT*>(to), static_cast<const VARIANT*>(from));
  } else {
    std::memcpy(to, from, psa->cbElements);
  }
  return S_OK;
}

HRESULT CellOffset(SAFEARRAY* psa, const LONG* indices, size_t* offset) {
  if (!psa || !indices) return E_INVALIDARG;
  size_t cell = 0, stride = 1;
  for (UINT d = 0; d < psa->cDims; ++d) {
    const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - 1 - d];  // indices[0] is the left-most dimension
    const long long i = static_cast<long long>(indices[d]) - b.lLbound;
    if (i < 0 || i >= static_cast<long long>(b.cElements)) return DISP_E_BADINDEX;
    cell += static_cast<size_t>(i) * stride;
    stride *= b.cElements;
  }
  *offset = cell * psa->cbElements;
  return S_OK;
}

}  // namespace

extern "C" {

SAFEARRAY* WINAPI SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
  if (cDims == 0 || cDims > 0xFFFF || !rgsabound || !IsSupported(vt)) return nullptr;
  const size_t elementSize = kp::com::ScalarSize(vt);
  size_t count = 0;
  if (!CheckedCount(rgsabound, cDims, elementSize, &count)) return nullptr;
  for (UINT i = 0; i < cDims; ++i)
    if (!UpperBoundFits(rgsabound[i])) return nullptr;
  char* block = static_cast<char*>(std::calloc(1, kPrefix + DescriptorSize(cDims)));
  if (!block) return nullptr;
  auto* psa = reinterpret_cast<SAFEARRAY*>(block + kPrefix);
  StoredType(psa) = vt;
  psa->cDims = static_cast<USHORT>(cDims);
  psa->fFeatures = FADF_HAVEVARTYPE | FeaturesOf(vt);
  psa->cbElements = static_cast<ULONG>(elementSize);
  for (UINT i = 0; i < cDims; ++i) psa->rgsabound[cDims - 1 - i] = rgsabound[i];
  if (count) {
    psa->pvData = std::calloc(count, psa->cbElements);
    if (!psa->pvData) {
      std::free(block);
      return nullptr;
    }
  }
  return psa;
}

SAFEARRAY* WINAPI SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  SAFEARRAYBOUND bound{cElements, lLbound};
  return SafeArrayCreate(vt, 1, &bound);
}

HRESULT WINAPI SafeArrayDestroy(SAFEARRAY* psa) {
  if (!psa) return S_OK;
  if (psa->cLocks) return DISP_E_ARRAYISLOCKED;
  ClearElements(psa, 0, ElementCount(psa));
  std::free(psa->pvData);
  std::free(reinterpret_cast<char*>(psa) - kPrefix);
  return S_OK;
}

UINT WINAPI SafeArrayGetDim(SAFEARRAY* psa) {
  return psa ? psa->cDims : 0;
}

UINT WINAPI SafeArrayGetElemsize(SAFEARRAY* psa) {
  return psa ? psa->cbElements : 0;
}

HRESULT WINAPI SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
  if (!psa || !plLbound) return E_INVALIDARG;
  if (nDim < 1 || nDim > psa->cDims) return DISP_E_BADINDEX;
  *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
  return S_OK;
}

HRESULT WINAPI SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
  if (!psa || !plUbound) return E_INVALIDARG;
  if (nDim < 1 || nDim > psa->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - nDim];
  if (!UpperBoundFits(b)) return DISP_E_OVERFLOW;
  *plUbound = static_cast<LONG>(b.lLbound + static_cast<long long>(b.cElements) - 1);
  return S_OK;
}

HRESULT WINAPI SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
  if (!psa || !pvt) return E_INVALIDARG;
  if (!(psa->fFeatures & FADF_HAVEVARTYPE)) return E_INVALIDARG;
  *pvt = StoredType(psa);
  return S_OK;
}

HRESULT WINAPI SafeArrayLock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  ++psa->cLocks;
  return S_OK;
}

HRESULT WINAPI SafeArrayUnlock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (psa->cLocks == 0) return E_UNEXPECTED;
  --psa->cLocks;
  return S_OK;
}

HRESULT WINAPI SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
  if (!psa || !ppvData) return E_INVALIDARG;
  ++psa->cLocks;
  *ppvData = psa->pvData;
  return S_OK;
}

HRESULT WINAPI SafeArrayUnaccessData(SAFEARRAY* psa) {
  return SafeArrayUnlock(psa);
}

HRESULT WINAPI SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData) {
  if (!ppvData) return E_INVALIDARG;
  size_t offset;
  HRESULT hr = CellOffset(psa, rgIndices, &offset);
  if (FAILED(hr)) return hr;
  *ppvData = static_cast<char*>(psa->pvData) + offset;
  return S_OK;
}

HRESULT WINAPI SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  if (!pv) return E_INVALIDARG;
  size_t offset;
  HRESULT hr = CellOffset(psa, rgIndices, &offset);
  if (FAILED(hr)) return hr;
  return CopyElement(psa, static_cast<char*>(psa->pvData) + offset, pv);
}

HRESULT WINAPI SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  size_t offset;
  HRESULT hr = CellOffset(psa, rgIndices, &offset);
  if (FAILED(hr)) return hr;
  void* cell = static_cast<char*>(psa->pvData) + offset;
  if (psa->fFeatures & FADF_BSTR) {
    BSTR s = static_cast<BSTR>(pv);
    BSTR copy = s ? SysAllocStringByteLen(reinterpret_cast<LPCSTR>(s), SysStringByteLen(s)) : nullptr;
    if (s && !copy) return E_OUTOFMEMORY;
    SysFreeString(*static_cast<BSTR*>(cell));
    *static_cast<BSTR*>(cell) = copy;
  } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    IUnknown* p = static_cast<IUnknown*>(pv);
    if (p) p->AddRef();
    IUnknown*& slot = *static_cast<IUnknown**>(cell);
    if (slot) slot->Release();
    slot = p;
  } else if (psa->fFeatures & FADF_VARIANT) {
    if (!pv) return E_INVALIDARG;
    return VariantCopy(static_cast<VARIANT*>(cell), static_cast<VARIANT*>(pv));
  } else {
    if (!pv) return E_INVALIDARG;
    std::memcpy(cell, pv, psa->cbElements);
  }
  return S_OK;
}

HRESULT WINAPI SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
  if (!ppsaOut) return E_INVALIDARG;
  *ppsaOut = nullptr;
  if (!psa) return S_OK;
  VARTYPE vt;
  if (FAILED(SafeArrayGetVartype(psa, &vt))) return E_INVALIDARG;
  std::vector<SAFEARRAYBOUND> bounds(psa->cDims);
  for (UINT i = 0; i < psa->cDims; ++i) bounds[i] = psa->rgsabound[psa->cDims - 1 - i];
  SAFEARRAY* copy = SafeArrayCreate(vt, psa->cDims, bounds.data());
  if (!copy) return E_OUTOFMEMORY;
  const size_t count = ElementCount(psa);
  for (size_t i = 0; i < count; ++i) {
    const size_t at = i * psa->cbElements;
    HRESULT hr =
        CopyElement(psa, static_cast<char*>(psa->pvData) + at, static_cast<char*>(copy->pvData) + at);
    if (FAILED(hr)) {
      SafeArrayDestroy(copy);
      return hr;
    }
  }
  *ppsaOut = copy;
  return S_OK;
}

HRESULT WINAPI SafeArrayRedim(SAFEARRAY* psa, SAFEARRAYBOUND* psaboundNew) {
  if (!psa || !psaboundNew) return E_INVALIDARG;
  if (psa->cDims == 0) return E_INVALIDARG;
  if (psa->cLocks || (psa->fFeatures & FADF_FIXEDSIZE)) return DISP_E_ARRAYISLOCKED;
  if (!UpperBoundFits(*psaboundNew)) return DISP_E_BADINDEX;
  const size_t oldCount = ElementCount(psa);
  // The new bounds, right-most first as stored; their count and byte size must fit.
  std::vector<SAFEARRAYBOUND> bounds(psa->rgsabound, psa->rgsabound + psa->cDims);
  bounds[0] = *psaboundNew;
  size_t newCount = 0;
  if (!CheckedCount(bounds.data(), bounds.size(), psa->cbElements, &newCount)) return E_OUTOFMEMORY;
  if (newCount < oldCount) ClearElements(psa, newCount, oldCount);
  if (newCount == 0) {
    std::free(psa->pvData);
    psa->pvData = nullptr;
  } else if (newCount != oldCount) {
    void* data = std::realloc(psa->pvData, newCount * psa->cbElements);
    if (!data) return E_OUTOFMEMORY;
    if (newCount > oldCount) {
      std::memset(static_cast<char*>(data) + oldCount * psa->cbElements, 0,
                  (newCount - oldCount) * psa->cbElements);
    }
    psa->pvData = data;
  }
  psa->rgsabound[0] = *psaboundNew;
  return S_OK;
}

HRESULT WINAPI BstrFromVector(SAFEARRAY* psa, BSTR* pbstr) {
  if (!pbstr) return E_INVALIDARG;
  *pbstr = nullptr;
  VARTYPE vt;
  if (!psa || psa->cDims != 1 || FAILED(SafeArrayGetVartype(psa, &vt)) || (vt != VT_UI1 && vt != VT_I1)) {
    return E_INVALIDARG;
  }
  *pbstr = SysAllocStringByteLen(static_cast<LPCSTR>(psa->pvData), psa->rgsabound[0].cElements);
  return *pbstr ? S_OK : E_OUTOFMEMORY;
}

HRESULT WINAPI VectorFromBstr(BSTR bstr, SAFEARRAY** ppsa) {
  if (!ppsa) return E_INVALIDARG;
  const UINT bytes = SysStringByteLen(bstr);
  *ppsa = SafeArrayCreateVector(VT_UI1, 0, bytes);
  if (!*ppsa) return E_OUTOFMEMORY;
  if (bytes) std::memcpy((*ppsa)->pvData, bstr, bytes);
  return S_OK;
}

}  // extern "C"
