// The COM plumbing every ADO object shares: reference counting, QueryInterface over the
// object's dual interface, IDispatch (IUnknown, IDispatch and ISupportErrorInfo answered), and
// a late-bound IDispatch that is not written yet: GetIDsOfNames answers DISP_E_UNKNOWNNAME and
// Invoke E_NOTIMPL, each with a trace naming the call. Early-bound calls through the vtable
// (what #import wrappers use) are the supported path.
//
// Objects start with one reference (the creator's) and delete themselves at zero. An interface
// that is not the object's dual interface (a construction interface) is implemented by a member
// (AdoPart below), whose IUnknown is the object's: QueryInterface reaches it through Part.
#pragma once
#include <atomic>

#include "AdoText.h"
#include "kp/kpnotimpl.h"
#include "oaidl.h"

namespace kp::ado {

template <class I>
class AdoObject : public I, public ISupportErrorInfo {
 public:
  HRESULT __stdcall QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(I) || IsBase(riid)) {
      *ppv = static_cast<I*>(this);
    } else if (riid == IID_ISupportErrorInfo) {
      *ppv = static_cast<ISupportErrorInfo*>(this);
    } else if (void* part = Part(riid)) {
      *ppv = part;
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG __stdcall AddRef() override { return ++refs_; }
  ULONG __stdcall Release() override {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  HRESULT __stdcall GetTypeInfoCount(UINT* pctinfo) override {
    if (!pctinfo) return E_POINTER;
    *pctinfo = 0;
    return S_OK;
  }
  HRESULT __stdcall GetTypeInfo(UINT, LCID, ITypeInfo** pp) override {
    if (pp) *pp = nullptr;
    return KP_NOT_IMPLEMENTED("IDispatch::GetTypeInfo");
  }
  HRESULT __stdcall GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    kp::LogNotImplemented("IDispatch::GetIDsOfNames", "%s; use the vtable interface",
                          count && names && names[0] ? ToUtf8(names[0]).c_str() : "");
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT __stdcall Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                           UINT*) override {
    return KP_NOT_IMPLEMENTED("IDispatch::Invoke", "%d, flags %u; use the vtable interface", (int)id, flags);
  }
  HRESULT __stdcall InterfaceSupportsErrorInfo(REFIID) override { return S_OK; }

 protected:
  AdoObject() = default;
  virtual ~AdoObject() = default;
  // Extra interface ids (base interfaces such as _ADO or _Collection) the object answers.
  virtual bool IsBase(REFIID) { return false; }
  // The interface riid as implemented by a member of the object (a construction interface, the
  // events' IConnectionPointContainer), sharing the object's reference count; null when it has
  // none.
  virtual void* Part(REFIID) { return nullptr; }

 private:
  std::atomic<ULONG> refs_{1};
};

// An interface of an ADO object implemented by a member of it: reference counting and
// QueryInterface are the object's, so the member is never deleted on its own and interfaces read
// through it lead back to the object.
template <class I, class Outer>
class AdoPart : public I {
 public:
  explicit AdoPart(Outer* outer) : outer_(outer) {}
  AdoPart(const AdoPart&) = delete;
  AdoPart& operator=(const AdoPart&) = delete;
  HRESULT __stdcall QueryInterface(REFIID riid, void** ppv) override {
    return outer_->QueryInterface(riid, ppv);
  }
  ULONG __stdcall AddRef() override { return outer_->AddRef(); }
  ULONG __stdcall Release() override { return outer_->Release(); }

 protected:
  Outer* outer_;
};

// The same for a dual interface: IDispatch is the object's (its late binding is not written).
template <class I, class Outer>
class AdoDispatchPart : public AdoPart<I, Outer> {
 public:
  using AdoPart<I, Outer>::AdoPart;
  HRESULT __stdcall GetTypeInfoCount(UINT* p) override { return this->outer_->GetTypeInfoCount(p); }
  HRESULT __stdcall GetTypeInfo(UINT i, LCID l, ITypeInfo** pp) override {
    return this->outer_->GetTypeInfo(i, l, pp);
  }
  HRESULT __stdcall GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID l, DISPID* ids) override {
    return this->outer_->GetIDsOfNames(riid, names, count, l, ids);
  }
  HRESULT __stdcall Invoke(DISPID id, REFIID riid, LCID l, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* info, UINT* arg) override {
    return this->outer_->Invoke(id, riid, l, flags, params, result, info, arg);
  }
};

}  // namespace kp::ado
