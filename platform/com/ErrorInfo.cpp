// The error object and the per-thread error slot (SetErrorInfo, GetErrorInfo,
// CreateErrorInfo). Documented behaviour: SetErrorInfo replaces the thread's object (NULL
// clears it); GetErrorInfo hands the object and its reference over and clears the slot, or
// answers S_FALSE with NULL when there is none. The getters answer empty BSTRs as NULL, as
// Windows' object does for fields never set. The slot does not need CoInitialize; the last
// CoUninitialize of a thread and the thread's end release it.
#include "ErrorInfo.h"

#include "ComInternal.h"

namespace {

// Holds the thread's error object and releases it when the thread ends.
struct ErrorSlot {
  IErrorInfo* info = nullptr;
  ~ErrorSlot() {
    if (info) info->Release();
  }
  void Replace(IErrorInfo* next) {
    IErrorInfo* old = info;
    info = next;
    if (old) old->Release();
  }
};

thread_local ErrorSlot t_errorSlot;

HRESULT CopyOut(const std::u16string& value, BSTR* out) {
  if (!out) return E_INVALIDARG;
  *out = value.empty() ? nullptr : kp::com::AllocBstr(value);
  return (value.empty() || *out) ? S_OK : E_OUTOFMEMORY;
}

std::u16string FromOle(LPOLESTR s) {
  return s ? std::u16string(s) : std::u16string();
}

}  // namespace

namespace kp::com {

void ReleaseThreadErrorInfo() {
  t_errorSlot.Replace(nullptr);
}

HRESULT ErrorInfo::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IErrorInfo) {
    *ppv = static_cast<IErrorInfo*>(this);
  } else if (riid == IID_ICreateErrorInfo) {
    *ppv = static_cast<ICreateErrorInfo*>(this);
  } else {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG ErrorInfo::AddRef() {
  return ++refs_;
}

ULONG ErrorInfo::Release() {
  const ULONG n = --refs_;
  if (n == 0) delete this;
  return n;
}

HRESULT ErrorInfo::GetGUID(GUID* pGUID) {
  if (!pGUID) return E_INVALIDARG;
  *pGUID = guid_;
  return S_OK;
}
HRESULT ErrorInfo::GetSource(BSTR* out) {
  return CopyOut(source_, out);
}
HRESULT ErrorInfo::GetDescription(BSTR* out) {
  return CopyOut(description_, out);
}
HRESULT ErrorInfo::GetHelpFile(BSTR* out) {
  return CopyOut(helpFile_, out);
}
HRESULT ErrorInfo::GetHelpContext(DWORD* out) {
  if (!out) return E_INVALIDARG;
  *out = helpContext_;
  return S_OK;
}

HRESULT ErrorInfo::SetGUID(REFGUID rguid) {
  guid_ = rguid;
  return S_OK;
}
HRESULT ErrorInfo::SetSource(LPOLESTR s) {
  source_ = FromOle(s);
  return S_OK;
}
HRESULT ErrorInfo::SetDescription(LPOLESTR s) {
  description_ = FromOle(s);
  return S_OK;
}
HRESULT ErrorInfo::SetHelpFile(LPOLESTR s) {
  helpFile_ = FromOle(s);
  return S_OK;
}
HRESULT ErrorInfo::SetHelpContext(DWORD context) {
  helpContext_ = context;
  return S_OK;
}

}  // namespace kp::com

extern "C" {

HRESULT WINAPI SetErrorInfo(ULONG reserved, IErrorInfo* info) {
  if (reserved) return E_INVALIDARG;
  if (info) info->AddRef();
  t_errorSlot.Replace(info);
  return S_OK;
}

HRESULT WINAPI GetErrorInfo(ULONG reserved, IErrorInfo** info) {
  if (!info) return E_INVALIDARG;
  *info = nullptr;
  if (reserved) return E_INVALIDARG;
  if (!t_errorSlot.info) return S_FALSE;
  *info = t_errorSlot.info;  // the slot's reference goes to the caller
  t_errorSlot.info = nullptr;
  return S_OK;
}

HRESULT WINAPI CreateErrorInfo(ICreateErrorInfo** out) {
  if (!out) return E_INVALIDARG;
  *out = static_cast<ICreateErrorInfo*>(new kp::com::ErrorInfo());
  return S_OK;
}

}  // extern "C"
