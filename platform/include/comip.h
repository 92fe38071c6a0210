// Compiler COM support, part two: the smart interface pointer _com_ptr_t and the
// _COM_SMARTPTR_TYPEDEF macro, behaving as Microsoft documents them in <comip.h>.
//
//   _COM_SMARTPTR_TYPEDEF(IFoo, __uuidof(IFoo));   // defines IFooPtr
//
// NULL, 0 and nullptr all reach the Interface* overloads (construction, assignment and
// comparison), so `p = NULL` and `p == NULL` read as on Windows.
// Construction from another smart pointer, from a raw pointer of another interface type or
// from a _variant_t queries for the interface (a failed query leaves the pointer null).
// AddRef, Release and operator-> on a null pointer throw _com_error(E_POINTER); CreateInstance
// and QueryInterface answer an HRESULT and do not throw.
#pragma once
#include <memory>
#include <type_traits>

#include "comutil.h"

template <class _Interface, const IID* _IID>
class _com_IIID {
 public:
  typedef _Interface Interface;
  static _Interface* GetInterfacePtr() noexcept { return nullptr; }
  static _Interface& GetInterface() noexcept { return *GetInterfacePtr(); }
  static const IID& GetIID() noexcept { return *_IID; }
};

template <class _IIID>
class _com_ptr_t {
 public:
  typedef _IIID ThisIIID;
  typedef typename _IIID::Interface Interface;

  static const IID& GetIID() noexcept { return ThisIIID::GetIID(); }

  _com_ptr_t() noexcept : m_pInterface(nullptr) {}
  _com_ptr_t(Interface* pInterface) noexcept : m_pInterface(pInterface) { _AddRef(); }
  _com_ptr_t(Interface* pInterface, bool fAddRef) noexcept : m_pInterface(pInterface) {
    if (fAddRef) _AddRef();
  }
  _com_ptr_t(const _com_ptr_t& cp) noexcept : m_pInterface(cp.m_pInterface) { _AddRef(); }
  _com_ptr_t(_com_ptr_t&& cp) noexcept : m_pInterface(cp.m_pInterface) { cp.m_pInterface = nullptr; }
  template <class _OtherIID>
  _com_ptr_t(const _com_ptr_t<_OtherIID>& p) : m_pInterface(nullptr) {
    _QueryFrom(p.GetInterfacePtr());
  }
  // A raw pointer of another interface type: QueryInterface.
  template <class Q, class = std::enable_if_t<!std::is_convertible_v<Q*, Interface*> &&
                                              std::is_convertible_v<Q*, IUnknown*>>>
  _com_ptr_t(Q* p) : m_pInterface(nullptr) {
    _QueryFrom(p);
  }
  _com_ptr_t(const _variant_t& varSrc) : m_pInterface(nullptr) { _QueryFromVariant(varSrc); }
  explicit _com_ptr_t(const CLSID& clsid, IUnknown* pOuter = nullptr, DWORD dwClsContext = CLSCTX_ALL)
      : m_pInterface(nullptr) {
    _com_util::CheckError(CreateInstance(clsid, pOuter, dwClsContext));
  }
  explicit _com_ptr_t(LPCOLESTR str, IUnknown* pOuter = nullptr, DWORD dwClsContext = CLSCTX_ALL)
      : m_pInterface(nullptr) {
    _com_util::CheckError(CreateInstance(str, pOuter, dwClsContext));
  }
  explicit _com_ptr_t(LPCSTR str, IUnknown* pOuter = nullptr, DWORD dwClsContext = CLSCTX_ALL)
      : m_pInterface(nullptr) {
    _com_util::CheckError(CreateInstance(str, pOuter, dwClsContext));
  }
  ~_com_ptr_t() { _Release(); }

  _com_ptr_t& operator=(Interface* pInterface) {
    if (m_pInterface != pInterface) {
      Interface* old = m_pInterface;
      m_pInterface = pInterface;
      _AddRef();
      if (old) old->Release();
    }
    return *this;
  }
  _com_ptr_t& operator=(const _com_ptr_t& cp) { return operator=(cp.m_pInterface); }
  _com_ptr_t& operator=(_com_ptr_t&& cp) noexcept {
    if (this != std::addressof(cp)) {
      _Release();
      m_pInterface = cp.m_pInterface;
      cp.m_pInterface = nullptr;
    }
    return *this;
  }
  template <class _OtherIID>
  _com_ptr_t& operator=(const _com_ptr_t<_OtherIID>& p) {
    return *this = _com_ptr_t(p);
  }
  template <class Q, class = std::enable_if_t<!std::is_convertible_v<Q*, Interface*> &&
                                              std::is_convertible_v<Q*, IUnknown*>>>
  _com_ptr_t& operator=(Q* p) {
    return *this = _com_ptr_t(p);
  }
  _com_ptr_t& operator=(const _variant_t& varSrc) { return *this = _com_ptr_t(varSrc); }

  // Takes ownership (no AddRef unless fAddRef); Detach hands the pointer over.
  void Attach(Interface* pInterface) noexcept {
    _Release();
    m_pInterface = pInterface;
  }
  void Attach(Interface* pInterface, bool fAddRef) noexcept {
    _Release();
    m_pInterface = pInterface;
    if (fAddRef) _AddRef();
  }
  Interface* Detach() noexcept {
    Interface* p = m_pInterface;
    m_pInterface = nullptr;
    return p;
  }
  void AddRef() {
    if (!m_pInterface) _com_issue_error(E_POINTER);
    m_pInterface->AddRef();
  }
  void Release() {
    if (!m_pInterface) _com_issue_error(E_POINTER);
    m_pInterface->Release();
    m_pInterface = nullptr;
  }
  Interface* GetInterfacePtr() const noexcept { return m_pInterface; }
  Interface*& GetInterfacePtr() noexcept { return m_pInterface; }

  operator Interface*() const noexcept { return m_pInterface; }
  Interface& operator*() const {
    if (!m_pInterface) _com_issue_error(E_POINTER);
    return *m_pInterface;
  }
  // Releases the current interface and answers the address to be filled.
  Interface** operator&() noexcept {
    _Release();
    return &m_pInterface;
  }
  Interface* operator->() const {
    if (!m_pInterface) _com_issue_error(E_POINTER);
    return m_pInterface;
  }
  explicit operator bool() const noexcept { return m_pInterface != nullptr; }
  bool operator!() const noexcept { return m_pInterface == nullptr; }

  // Comparison goes by IUnknown identity, as documented.
  template <class Q>
  bool operator==(Q* p) const {
    return _CompareUnknown(p) == 0;
  }
  template <class _OtherIID>
  bool operator==(const _com_ptr_t<_OtherIID>& p) const {
    return _CompareUnknown(p.GetInterfacePtr()) == 0;
  }
  bool operator==(const _com_ptr_t& p) const { return _CompareUnknown(p.m_pInterface) == 0; }
  bool operator==(Interface* p) const { return _CompareUnknown(p) == 0; }
  template <class Q>
  bool operator!=(Q* p) const {
    return !(*this == p);
  }
  template <class _OtherIID>
  bool operator!=(const _com_ptr_t<_OtherIID>& p) const {
    return !(*this == p);
  }
  bool operator!=(const _com_ptr_t& p) const { return !(*this == p); }
  bool operator!=(Interface* p) const { return !(*this == p); }

  HRESULT CreateInstance(const CLSID& rclsid, IUnknown* pOuter = nullptr, DWORD dwClsContext = CLSCTX_ALL) {
    _Release();
    return ::CoCreateInstance(rclsid, pOuter, dwClsContext, GetIID(),
                              reinterpret_cast<void**>(&m_pInterface));
  }
  // A braced CLSID text or a ProgID.
  HRESULT CreateInstance(LPCOLESTR clsidString, IUnknown* pOuter = nullptr, DWORD dwClsContext = CLSCTX_ALL) {
    if (!clsidString) return E_INVALIDARG;
    CLSID clsid;
    HRESULT hr = clsidString[0] == u'{' ? ::CLSIDFromString(clsidString, &clsid)
                                        : ::CLSIDFromProgID(clsidString, &clsid);
    if (FAILED(hr)) return hr;
    return CreateInstance(clsid, pOuter, dwClsContext);
  }
  HRESULT CreateInstance(LPCSTR clsidStringA, IUnknown* pOuter = nullptr, DWORD dwClsContext = CLSCTX_ALL) {
    if (!clsidStringA) return E_INVALIDARG;
    BSTR wide = _com_util::ConvertStringToBSTR(clsidStringA);
    HRESULT hr = CreateInstance(static_cast<LPCOLESTR>(wide), pOuter, dwClsContext);
    ::SysFreeString(wide);
    return hr;
  }

  template <class Q>
  HRESULT QueryInterface(const IID& iid, Q& p) {
    if (!m_pInterface) return E_POINTER;
    return m_pInterface->QueryInterface(iid, reinterpret_cast<void**>(&p));
  }
  template <class Q>
  HRESULT QueryInterface(const IID& iid, Q** p) {
    if (!m_pInterface) return E_POINTER;
    return m_pInterface->QueryInterface(iid, reinterpret_cast<void**>(p));
  }

 private:
  void _AddRef() noexcept {
    if (m_pInterface) m_pInterface->AddRef();
  }
  void _Release() noexcept {
    if (m_pInterface) {
      Interface* p = m_pInterface;
      m_pInterface = nullptr;
      p->Release();
    }
  }
  template <class Q>
  void _QueryFrom(Q* p) {
    if (!p) return;
    if (FAILED(p->QueryInterface(GetIID(), reinterpret_cast<void**>(&m_pInterface)))) m_pInterface = nullptr;
  }
  void _QueryFromVariant(const _variant_t& varSrc) {
    const VARIANT* v = &varSrc;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
    IUnknown* unk = nullptr;
    switch (v->vt) {
      case VT_UNKNOWN:
      case VT_DISPATCH:
        unk = v->punkVal;
        break;
      case VT_BYREF | VT_UNKNOWN:
      case VT_BYREF | VT_DISPATCH:
        unk = v->ppunkVal ? *v->ppunkVal : nullptr;
        break;
      case VT_EMPTY:
      case VT_NULL:
        return;
      default:
        _com_issue_error(DISP_E_TYPEMISMATCH);
    }
    _QueryFrom(unk);
  }
  template <class Q>
  int _CompareUnknown(Q* p) const {
    if (static_cast<const void*>(m_pInterface) == static_cast<const void*>(p)) return 0;
    if (!m_pInterface || !p) return m_pInterface ? 1 : -1;
    IUnknown* a = nullptr;
    IUnknown* b = nullptr;
    m_pInterface->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a));
    p->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b));
    const int r = a == b ? 0 : (a < b ? -1 : 1);
    if (a) a->Release();
    if (b) b->Release();
    return r;
  }

  Interface* m_pInterface;
};

#define _COM_SMARTPTR _com_ptr_t
#define _COM_SMARTPTR_LEVEL2 _com_IIID
#define _COM_SMARTPTR_TYPEDEF(Interface, IID) typedef _com_ptr_t<_com_IIID<Interface, &(IID)>> Interface##Ptr
