// Compiler COM support, part one: _bstr_t and _variant_t, the error hook _com_issue_error and
// vtMissing, behaving as Microsoft documents the classes of <comutil.h>. Every failure throws
// _com_error (<comdef.h>).
//
// This is an ANSI build: narrow text is GBK (code page 936) both ways. LP64 notes, where the
// C++ type sizes differ from Windows':
//   _variant_t(long)          VT_I4 when the value fits in 32 bits, else VT_I8
//   _variant_t(unsigned long) VT_UI4 when it fits, else VT_UI8
//   _variant_t(int)           VT_I4 (so LONG, which is int here, gives VT_I4 as on Windows)
//   _variant_t(unsigned int)  VT_UI4 (ULONG and DWORD are unsigned int here)
//   _variant_t(long long)     VT_I8, (unsigned long long) VT_UI8
//   operator long()           VT_I8 for a VT_I8/VT_UI8 value, otherwise through VT_I4
// Assigning a value to a _variant_t replaces it with a new value of that value's type (the
// documented special cases that keep VT_ERROR or VT_BOOL are not followed).
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "ole2.h"

class _com_error;
class _variant_t;

KPAPI void __stdcall _com_issue_error(HRESULT hr);
KPAPI void __stdcall _com_issue_errorex(HRESULT hr, IUnknown* punk, REFIID riid);

namespace _com_util {
// GBK text to a new BSTR (NULL for NULL) and back to a new[]-allocated GBK string.
KPAPI BSTR __stdcall ConvertStringToBSTR(const char* pSrc);
KPAPI char* __stdcall ConvertBSTRToString(BSTR pSrc);
inline void CheckError(HRESULT hr) {
  if (FAILED(hr)) _com_issue_error(hr);
}
}  // namespace _com_util

namespace kp {
// Value equality of two VARIANTs as _variant_t::operator== defines it: same VARTYPE and same
// value (BSTRs by length and content, interfaces and by-reference values by address).
KPAPI bool VariantEqual(const VARIANT* a, const VARIANT* b);
}  // namespace kp

class _bstr_t {
 public:
  _bstr_t() noexcept : m_Data(nullptr) {}
  _bstr_t(std::nullptr_t) noexcept : m_Data(nullptr) {}
  _bstr_t(const _bstr_t& s) noexcept : m_Data(s.m_Data) { _AddRef(); }
  _bstr_t(_bstr_t&& s) noexcept : m_Data(s.m_Data) { s.m_Data = nullptr; }
  _bstr_t(const char* s) : m_Data(new Data_t(s)) {}
  _bstr_t(const OLECHAR* s) : m_Data(new Data_t(s)) {}
  _bstr_t(BSTR bstr, bool fCopy) : m_Data(new Data_t(bstr, fCopy)) {}
  ~_bstr_t() { _Free(); }

  _bstr_t& operator=(const _bstr_t& s) {
    if (this != &s) {
      _Free();
      m_Data = s.m_Data;
      _AddRef();
    }
    return *this;
  }
  _bstr_t& operator=(_bstr_t&& s) noexcept {
    if (this != &s) {
      _Free();
      m_Data = s.m_Data;
      s.m_Data = nullptr;
    }
    return *this;
  }
  _bstr_t& operator=(const char* s) { return *this = _bstr_t(s); }
  _bstr_t& operator=(const OLECHAR* s) { return *this = _bstr_t(s); }
  _bstr_t& operator=(std::nullptr_t) {
    _Free();
    return *this;
  }

  _bstr_t& operator+=(const _bstr_t& s) { return *this = *this + s; }
  _bstr_t operator+(const _bstr_t& s) const {
    _bstr_t r;
    r.m_Data = new Data_t(*this, s);
    return r;
  }
  friend _bstr_t operator+(const char* s1, const _bstr_t& s2) { return _bstr_t(s1) + s2; }
  friend _bstr_t operator+(const OLECHAR* s1, const _bstr_t& s2) { return _bstr_t(s1) + s2; }

  operator const OLECHAR*() const noexcept { return m_Data ? m_Data->GetWString() : nullptr; }
  operator OLECHAR*() const noexcept { return m_Data ? m_Data->GetWString() : nullptr; }
  operator const char*() const { return m_Data ? m_Data->GetString() : nullptr; }
  operator char*() const { return m_Data ? m_Data->GetString() : nullptr; }

  bool operator!() const noexcept { return length() == 0; }
  bool operator==(const _bstr_t& s) const noexcept { return _Compare(s) == 0; }
  bool operator!=(const _bstr_t& s) const noexcept { return _Compare(s) != 0; }
  bool operator<(const _bstr_t& s) const noexcept { return _Compare(s) < 0; }
  bool operator>(const _bstr_t& s) const noexcept { return _Compare(s) > 0; }
  bool operator<=(const _bstr_t& s) const noexcept { return _Compare(s) <= 0; }
  bool operator>=(const _bstr_t& s) const noexcept { return _Compare(s) >= 0; }
  bool operator==(const char* s) const { return *this == _bstr_t(s); }
  bool operator!=(const char* s) const { return *this != _bstr_t(s); }
  bool operator==(const OLECHAR* s) const { return *this == _bstr_t(s); }
  bool operator!=(const OLECHAR* s) const { return *this != _bstr_t(s); }

  // A new BSTR copy of the text (fCopy) or the wrapped BSTR itself.
  BSTR copy(bool fCopy = true) const {
    if (!m_Data) return nullptr;
    return fCopy ? m_Data->Copy() : m_Data->GetWString();
  }
  unsigned int length() const noexcept { return m_Data ? m_Data->Length() : 0; }
  // Assign copies s; Attach takes ownership of s; Detach hands the BSTR over.
  void Assign(BSTR s) {
    if (m_Data && m_Data->RefCount() == 1) {
      m_Data->Assign(s);
    } else {
      *this = _bstr_t(s, true);
    }
  }
  void Attach(BSTR s) {
    _Free();
    m_Data = new Data_t(s, false);
  }
  BSTR Detach() {
    if (m_Data && m_Data->RefCount() == 1) {
      BSTR b = m_Data->Release(true);
      m_Data = nullptr;
      return b;
    }
    BSTR b = copy();
    _Free();
    return b;
  }
  BSTR& GetBSTR() {
    if (!m_Data) m_Data = new Data_t(static_cast<BSTR>(nullptr), false);
    return m_Data->GetWString();
  }
  // Frees the current text and answers the address of a NULL BSTR to be filled.
  BSTR* GetAddress() {
    Attach(nullptr);
    return &m_Data->GetWString();
  }

 private:
  class Data_t {
   public:
    explicit Data_t(const char* s) : m_wstr(_com_util::ConvertStringToBSTR(s)) {}
    explicit Data_t(const OLECHAR* s) : m_wstr(::SysAllocString(s)) {
      if (s && !m_wstr) _com_issue_error(E_OUTOFMEMORY);
    }
    Data_t(BSTR bstr, bool fCopy) : m_wstr(fCopy ? CopyOf(bstr) : bstr) {}
    Data_t(const _bstr_t& s1, const _bstr_t& s2) {
      const UINT n1 = s1.length(), n2 = s2.length();
      m_wstr = ::SysAllocStringByteLen(nullptr, (n1 + n2) * sizeof(OLECHAR));
      if (!m_wstr) _com_issue_error(E_OUTOFMEMORY);
      if (n1) std::memcpy(m_wstr, static_cast<const OLECHAR*>(s1), n1 * sizeof(OLECHAR));
      if (n2) std::memcpy(m_wstr + n1, static_cast<const OLECHAR*>(s2), n2 * sizeof(OLECHAR));
    }
    ~Data_t() {
      ::SysFreeString(m_wstr);
      delete[] m_str;
    }
    void AddRef() noexcept { ++m_RefCount; }
    // Drops one reference; with keep the BSTR survives and is answered.
    BSTR Release(bool keep = false) noexcept {
      BSTR b = m_wstr;
      if (--m_RefCount == 0) {
        if (keep) m_wstr = nullptr;
        delete this;
        return keep ? b : nullptr;
      }
      return nullptr;
    }
    unsigned long RefCount() const noexcept { return m_RefCount; }
    BSTR& GetWString() noexcept {
      _FreeNarrow();
      return m_wstr;
    }
    const BSTR& GetWString() const noexcept { return m_wstr; }
    char* GetString() const {
      if (!m_str) m_str = _com_util::ConvertBSTRToString(m_wstr);
      return m_str;
    }
    BSTR Copy() const { return CopyOf(m_wstr); }
    void Assign(BSTR s) {
      BSTR n = CopyOf(s);
      ::SysFreeString(m_wstr);
      m_wstr = n;
      _FreeNarrow();
    }
    unsigned int Length() const noexcept { return ::SysStringLen(m_wstr); }
    int Compare(const Data_t& o) const noexcept {
      const unsigned int l1 = Length(), l2 = o.Length();
      for (unsigned int i = 0; i < l1 && i < l2; ++i) {
        if (m_wstr[i] != o.m_wstr[i]) return m_wstr[i] < o.m_wstr[i] ? -1 : 1;
      }
      return l1 == l2 ? 0 : (l1 < l2 ? -1 : 1);
    }

   private:
    static BSTR CopyOf(BSTR b) {
      if (!b) return nullptr;
      BSTR c = ::SysAllocStringByteLen(reinterpret_cast<const char*>(b), ::SysStringByteLen(b));
      if (!c) _com_issue_error(E_OUTOFMEMORY);
      return c;
    }
    void _FreeNarrow() noexcept {
      delete[] m_str;
      m_str = nullptr;
    }
    BSTR m_wstr = nullptr;
    mutable char* m_str = nullptr;
    std::atomic<unsigned long> m_RefCount{1};
  };

  void _AddRef() noexcept {
    if (m_Data) m_Data->AddRef();
  }
  void _Free() noexcept {
    if (m_Data) m_Data->Release();
    m_Data = nullptr;
  }
  int _Compare(const _bstr_t& s) const noexcept {
    if (m_Data == s.m_Data) return 0;
    if (!m_Data) return s.length() == 0 ? 0 : -1;
    if (!s.m_Data) return length() == 0 ? 0 : 1;
    return m_Data->Compare(*s.m_Data);
  }

  Data_t* m_Data;
};

class _variant_t : public VARIANT {
 public:
  _variant_t() noexcept { ::VariantInit(this); }
  _variant_t(const VARIANT& varSrc) {
    ::VariantInit(this);
    _com_util::CheckError(::VariantCopy(this, &varSrc));
  }
  _variant_t(const VARIANT* pSrc) {
    ::VariantInit(this);
    if (!pSrc) _com_issue_error(E_POINTER);
    _com_util::CheckError(::VariantCopy(this, pSrc));
  }
  _variant_t(const _variant_t& varSrc) : _variant_t(static_cast<const VARIANT&>(varSrc)) {}
  _variant_t(_variant_t&& varSrc) noexcept {
    std::memcpy(static_cast<VARIANT*>(this), static_cast<VARIANT*>(&varSrc), sizeof(VARIANT));
    varSrc.vt = VT_EMPTY;
  }
  // Takes the value over without copying when fCopy is false (varSrc becomes VT_EMPTY).
  _variant_t(VARIANT& varSrc, bool fCopy) {
    ::VariantInit(this);
    if (fCopy) {
      _com_util::CheckError(::VariantCopy(this, &varSrc));
    } else {
      std::memcpy(static_cast<VARIANT*>(this), &varSrc, sizeof(VARIANT));
      varSrc.vt = VT_EMPTY;
    }
  }
  // VT_I2 or VT_BOOL.
  _variant_t(short sSrc, VARTYPE vtSrc = VT_I2) {
    if (vtSrc == VT_BOOL) {
      vt = VT_BOOL;
      boolVal = sSrc ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (vtSrc == VT_I2) {
      vt = VT_I2;
      iVal = sSrc;
    } else {
      _com_issue_error(E_INVALIDARG);
    }
  }
  // VT_I4 (also VT_INT), VT_ERROR or VT_BOOL.
  _variant_t(int lSrc, VARTYPE vtSrc = VT_I4) { _SetLong(lSrc, vtSrc); }
  // VT_I4 (VT_I8 when the value needs 64 bits), VT_I8, VT_ERROR or VT_BOOL.
  _variant_t(long lSrc, VARTYPE vtSrc = VT_I4) {
    if (vtSrc == VT_I8 || (vtSrc == VT_I4 && (lSrc < INT32_MIN || lSrc > INT32_MAX))) {
      vt = VT_I8;
      llVal = lSrc;
    } else {
      _SetLong(static_cast<LONG>(lSrc), vtSrc);
    }
  }
  _variant_t(long long llSrc) noexcept {
    vt = VT_I8;
    llVal = llSrc;
  }
  _variant_t(float fltSrc) noexcept {
    vt = VT_R4;
    fltVal = fltSrc;
  }
  // VT_R8 or VT_DATE.
  _variant_t(double dblSrc, VARTYPE vtSrc = VT_R8) {
    if (vtSrc != VT_R8 && vtSrc != VT_DATE) _com_issue_error(E_INVALIDARG);
    vt = vtSrc;
    dblVal = dblSrc;
  }
  _variant_t(const CY& cySrc) noexcept {
    vt = VT_CY;
    cyVal = cySrc;
  }
  _variant_t(const _bstr_t& bstrSrc) {
    vt = VT_BSTR;
    bstrVal = bstrSrc.copy();
  }
  _variant_t(const OLECHAR* pSrc) {
    vt = VT_BSTR;
    bstrVal = ::SysAllocString(pSrc);
    if (pSrc && !bstrVal) _com_issue_error(E_OUTOFMEMORY);
  }
  _variant_t(const char* pSrc) {
    vt = VT_BSTR;
    bstrVal = _com_util::ConvertStringToBSTR(pSrc);
  }
  _variant_t(IDispatch* pSrc, bool fAddRef = true) noexcept {
    vt = VT_DISPATCH;
    pdispVal = pSrc;
    if (fAddRef && pSrc) pSrc->AddRef();
  }
  _variant_t(IUnknown* pSrc, bool fAddRef = true) noexcept {
    vt = VT_UNKNOWN;
    punkVal = pSrc;
    if (fAddRef && pSrc) pSrc->AddRef();
  }
  _variant_t(bool boolSrc) noexcept {
    vt = VT_BOOL;
    boolVal = boolSrc ? VARIANT_TRUE : VARIANT_FALSE;
  }
  _variant_t(const DECIMAL& decSrc) noexcept {
    decVal = decSrc;
    vt = VT_DECIMAL;  // after the value: DECIMAL's wReserved overlays vt
  }
  _variant_t(BYTE bSrc) noexcept {
    vt = VT_UI1;
    bVal = bSrc;
  }
  _variant_t(char cSrc) noexcept {
    vt = VT_I1;
    cVal = cSrc;
  }
  _variant_t(unsigned short usSrc) noexcept {
    vt = VT_UI2;
    uiVal = usSrc;
  }
  _variant_t(unsigned int uiSrc) noexcept {
    vt = VT_UI4;
    ulVal = uiSrc;
  }
  _variant_t(unsigned long ulSrc) noexcept {
    if (ulSrc > UINT32_MAX) {
      vt = VT_UI8;
      ullVal = ulSrc;
    } else {
      vt = VT_UI4;
      ulVal = static_cast<ULONG>(ulSrc);
    }
  }
  _variant_t(unsigned long long ullSrc) noexcept {
    vt = VT_UI8;
    ullVal = ullSrc;
  }
  ~_variant_t() { ::VariantClear(this); }

  // Extractors: the value converted with VariantChangeType; failures throw _com_error.
  operator short() const { return _As(VT_I2).iVal; }
  operator unsigned short() const { return _As(VT_UI2).uiVal; }
  operator int() const { return _As(VT_I4).lVal; }
  operator unsigned int() const { return _As(VT_UI4).ulVal; }
  operator long() const { return _IsWide() ? _As(VT_I8).llVal : _As(VT_I4).lVal; }
  operator unsigned long() const { return _IsWide() ? _As(VT_UI8).ullVal : _As(VT_UI4).ulVal; }
  operator long long() const { return _As(VT_I8).llVal; }
  operator unsigned long long() const { return _As(VT_UI8).ullVal; }
  operator float() const { return _As(VT_R4).fltVal; }
  operator double() const { return _As(VT_R8).dblVal; }
  operator CY() const { return _As(VT_CY).cyVal; }
  operator bool() const { return _As(VT_BOOL).boolVal != VARIANT_FALSE; }
  operator DECIMAL() const { return _As(VT_DECIMAL).decVal; }
  operator BYTE() const { return _As(VT_UI1).bVal; }
  operator char() const { return _As(VT_I1).cVal; }
  operator _bstr_t() const {
    if (vt == VT_BSTR) return _bstr_t(bstrVal, true);
    _variant_t v = _As(VT_BSTR);
    _bstr_t r;
    r.Attach(v.bstrVal);
    v.vt = VT_EMPTY;
    return r;
  }
  // Interfaces come back with a reference added (AddRef or QueryInterface).
  operator IDispatch*() const {
    if (vt == VT_DISPATCH) {
      if (pdispVal) pdispVal->AddRef();
      return pdispVal;
    }
    _variant_t v = _As(VT_DISPATCH);
    IDispatch* p = v.pdispVal;
    v.vt = VT_EMPTY;
    return p;
  }
  operator IUnknown*() const {
    if (vt == VT_UNKNOWN) {
      if (punkVal) punkVal->AddRef();
      return punkVal;
    }
    _variant_t v = _As(VT_UNKNOWN);
    IUnknown* p = v.punkVal;
    v.vt = VT_EMPTY;
    return p;
  }

  _variant_t& operator=(const _variant_t& varSrc) {
    if (this != &varSrc) _com_util::CheckError(::VariantCopy(this, &varSrc));
    return *this;
  }
  _variant_t& operator=(_variant_t&& varSrc) {
    if (this != &varSrc) {
      Clear();
      std::memcpy(static_cast<VARIANT*>(this), static_cast<VARIANT*>(&varSrc), sizeof(VARIANT));
      varSrc.vt = VT_EMPTY;
    }
    return *this;
  }
  _variant_t& operator=(const VARIANT& varSrc) {
    _com_util::CheckError(::VariantCopy(this, &varSrc));
    return *this;
  }
  _variant_t& operator=(const VARIANT* pSrc) {
    if (!pSrc) _com_issue_error(E_POINTER);
    return *this = *pSrc;
  }
  template <class T, class = decltype(_variant_t(std::declval<const T&>())),
            class = std::enable_if_t<!std::is_base_of_v<VARIANT, T> && !std::is_same_v<T, VARIANT*> &&
                                     !std::is_same_v<T, const VARIANT*>>>
  _variant_t& operator=(const T& value) {
    return *this = _variant_t(value);
  }

  bool operator==(const VARIANT& varSrc) const noexcept { return kp::VariantEqual(this, &varSrc); }
  bool operator==(const VARIANT* pSrc) const noexcept { return kp::VariantEqual(this, pSrc); }
  bool operator!=(const VARIANT& varSrc) const noexcept { return !kp::VariantEqual(this, &varSrc); }
  bool operator!=(const VARIANT* pSrc) const noexcept { return !kp::VariantEqual(this, pSrc); }

  void Clear() { _com_util::CheckError(::VariantClear(this)); }
  // Takes varSrc's value over; varSrc becomes VT_EMPTY.
  void Attach(VARIANT& varSrc) {
    Clear();
    std::memcpy(static_cast<VARIANT*>(this), &varSrc, sizeof(VARIANT));
    varSrc.vt = VT_EMPTY;
  }
  VARIANT Detach() noexcept {
    VARIANT v;
    std::memcpy(&v, static_cast<VARIANT*>(this), sizeof(VARIANT));
    vt = VT_EMPTY;
    return v;
  }
  VARIANT& GetVARIANT() noexcept { return *this; }
  VARIANT* GetAddress() {
    Clear();
    return this;
  }
  // Converts in place (pSrc null) or makes this the converted copy of *pSrc.
  void ChangeType(VARTYPE vartype, const _variant_t* pSrc = nullptr) {
    if (!pSrc) pSrc = this;
    if (pSrc != this || vartype != vt) {
      _com_util::CheckError(::VariantChangeType(this, pSrc, 0, vartype));
    }
  }
  void SetString(const char* pSrc) { *this = _variant_t(pSrc); }

 private:
  void _SetLong(LONG lSrc, VARTYPE vtSrc) {
    switch (vtSrc) {
      case VT_I4:
      case VT_INT:
        vt = vtSrc;
        lVal = lSrc;
        break;
      case VT_ERROR:
        vt = VT_ERROR;
        scode = lSrc;
        break;
      case VT_BOOL:
        vt = VT_BOOL;
        boolVal = lSrc ? VARIANT_TRUE : VARIANT_FALSE;
        break;
      default:
        _com_issue_error(E_INVALIDARG);
    }
  }
  bool _IsWide() const noexcept {
    const VARTYPE t = vt == (VT_BYREF | VT_VARIANT) && pvarVal ? pvarVal->vt : vt;
    return (t & VT_TYPEMASK) == VT_I8 || (t & VT_TYPEMASK) == VT_UI8;
  }
  _variant_t _As(VARTYPE target) const {
    _variant_t v;
    _com_util::CheckError(::VariantChangeType(&v, this, 0, target));
    return v;
  }
};

// The value of an omitted optional argument: VT_ERROR with DISP_E_PARAMNOTFOUND.
extern KPAPI _variant_t vtMissing;
