// IClassFactory over a registered creator; see ClassFactory.h. CreateInstance applies COM's
// aggregation rule before the creator runs: an outer object may only ask for IUnknown.
#include "ClassFactory.h"

namespace kp::com {

HRESULT ClassFactory::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IClassFactory) {
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG ClassFactory::AddRef() {
  return ++refs_;
}

ULONG ClassFactory::Release() {
  const ULONG n = --refs_;
  if (n == 0) delete this;
  return n;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
  HRESULT hr = create_(outer, riid, ppv);
  if (FAILED(hr)) *ppv = nullptr;
  return hr;
}

HRESULT ClassFactory::LockServer(BOOL lock) {
  if (lock) {
    ++locks_;
  } else {
    --locks_;
  }
  return S_OK;
}

}  // namespace kp::com
