// The Var*From* conversion family and VarCmp. Each conversion puts its input into a VARIANT
// and runs the same engine as VariantChangeType, so both follow one set of rules (oleauto.h).
// The exceptions Windows documents: VarBstrFromBool writes "True"/"False", and
// VarBstrFromDate honours VAR_DATEVALUEONLY and VAR_TIMEVALUEONLY.
#include <cstring>

#include "ComInternal.h"
#include "VarConvert.h"

namespace {

template <class In>
VARIANT Wrap(VARTYPE vt, const In& in) {
  VARIANT v;
  VariantInit(&v);
  if (vt == VT_DECIMAL) {
    std::memcpy(&v.decVal, &in, sizeof(DECIMAL));
  } else {
    std::memcpy(&v.llVal, &in, sizeof(In));
  }
  v.vt = vt;
  return v;
}

// Converts src to vt and stores the value (size bytes) at out.
HRESULT ConvertTo(const VARIANT& src, VARTYPE vt, void* out, size_t size, USHORT flags = 0) {
  if (!out) return E_INVALIDARG;
  VARIANT dst;
  VariantInit(&dst);
  HRESULT hr = kp::com::ChangeType(&dst, &src, flags, vt);
  if (FAILED(hr)) return hr;
  if (vt == VT_DECIMAL) {
    DECIMAL d = dst.decVal;
    d.wReserved = 0;
    std::memcpy(out, &d, sizeof(DECIMAL));
  } else {
    std::memcpy(out, &dst.llVal, size);
  }
  return S_OK;
}

// A text argument is not a BSTR (no length prefix): copy it into one first.
HRESULT ConvertText(LPCOLESTR text, VARTYPE vt, void* out, size_t size) {
  if (!text) return E_INVALIDARG;
  VARIANT src;
  src.vt = VT_BSTR;
  src.bstrVal = SysAllocString(text);
  if (!src.bstrVal) return E_OUTOFMEMORY;
  HRESULT hr = ConvertTo(src, vt, out, size);
  SysFreeString(src.bstrVal);
  return hr;
}

HRESULT ConvertDispatch(IDispatch* object, VARTYPE vt, void* out, size_t size) {
  if (!object) return DISP_E_TYPEMISMATCH;
  VARIANT src;
  src.vt = VT_DISPATCH;
  src.pdispVal = object;  // borrowed: src is not cleared
  return ConvertTo(src, vt, out, size);
}

template <VARTYPE vt, class In>
HRESULT BstrFrom(const In& in, ULONG flags, BSTR* out) {
  if constexpr (vt == VT_DATE) {
    if (!out) return E_INVALIDARG;
    std::u16string text;
    HRESULT hr = kp::com::FormatDate(in, flags & VAR_DATEVALUEONLY, flags & VAR_TIMEVALUEONLY, &text);
    if (FAILED(hr)) return hr;
    *out = kp::com::AllocBstr(text);
    return *out ? S_OK : E_OUTOFMEMORY;
  } else {
    return ConvertTo(Wrap(vt, in), VT_BSTR, out, sizeof(BSTR), vt == VT_BOOL ? VARIANT_ALPHABOOL : 0);
  }
}

}  // namespace

extern "C" {

#define KP_DEFINE_VAR_CELL(D, DT, DV, S, ST, SV)         \
  HRESULT WINAPI Var##D##From##S(ST in, DT* out) {       \
    return ConvertTo(Wrap(SV, in), DV, out, sizeof(DT)); \
  }
#define KP_DEFINE_VAR_ROW(D, DT, DV)                                          \
  KP_VAR_SCALAR_TYPES(KP_DEFINE_VAR_CELL, D, DT, DV)                          \
  HRESULT WINAPI Var##D##FromStr(LPCOLESTR strIn, LCID, ULONG, DT* out) {     \
    return ConvertText(strIn, DV, out, sizeof(DT));                           \
  }                                                                           \
  HRESULT WINAPI Var##D##FromDec(const DECIMAL* pdecIn, DT* out) {            \
    if (!pdecIn) return E_INVALIDARG;                                         \
    return ConvertTo(Wrap(VT_DECIMAL, *pdecIn), DV, out, sizeof(DT));         \
  }                                                                           \
  HRESULT WINAPI Var##D##FromDisp(IDispatch* pdispIn, LCID, DT* out) {        \
    return ConvertDispatch(pdispIn, DV, out, sizeof(DT));                     \
  }                                                                           \
  HRESULT WINAPI VarDecFrom##D(DT in, DECIMAL* pdecOut) {                     \
    return ConvertTo(Wrap(DV, in), VT_DECIMAL, pdecOut, sizeof(DECIMAL));     \
  }                                                                           \
  HRESULT WINAPI VarBstrFrom##D(DT in, LCID, ULONG dwFlags, BSTR* pbstrOut) { \
    return BstrFrom<DV>(in, dwFlags, pbstrOut);                               \
  }
KP_VAR_TARGET_TYPES(KP_DEFINE_VAR_ROW)

HRESULT WINAPI VarDecFromStr(LPCOLESTR strIn, LCID, ULONG, DECIMAL* pdecOut) {
  return ConvertText(strIn, VT_DECIMAL, pdecOut, sizeof(DECIMAL));
}

HRESULT WINAPI VarDecFromDisp(IDispatch* pdispIn, LCID, DECIMAL* pdecOut) {
  return ConvertDispatch(pdispIn, VT_DECIMAL, pdecOut, sizeof(DECIMAL));
}

HRESULT WINAPI VarBstrFromDec(const DECIMAL* pdecIn, LCID, ULONG, BSTR* pbstrOut) {
  if (!pdecIn) return E_INVALIDARG;
  return ConvertTo(Wrap(VT_DECIMAL, *pdecIn), VT_BSTR, pbstrOut, sizeof(BSTR));
}

HRESULT WINAPI VarBstrFromDisp(IDispatch* pdispIn, LCID, ULONG, BSTR* pbstrOut) {
  return ConvertDispatch(pdispIn, VT_BSTR, pbstrOut, sizeof(BSTR));
}

HRESULT WINAPI VarCmp(LPVARIANT left, LPVARIANT right, LCID, ULONG flags) {
  if (!left || !right) return E_INVALIDARG;
  VARIANT a, b;
  HRESULT hr = kp::com::Dereference(left, &a);
  if (SUCCEEDED(hr)) hr = kp::com::Dereference(right, &b);
  if (FAILED(hr)) return hr;
  if (a.vt == VT_NULL || b.vt == VT_NULL) return VARCMP_NULL;
  auto order = [](auto x, auto y) { return x < y ? VARCMP_LT : (y < x ? VARCMP_GT : VARCMP_EQ); };
  if (a.vt == VT_BSTR && b.vt == VT_BSTR) {
    const UINT la = SysStringLen(a.bstrVal), lb = SysStringLen(b.bstrVal);
    for (UINT i = 0; i < la && i < lb; ++i) {
      char16_t ca = a.bstrVal[i], cb = b.bstrVal[i];
      if (flags & NORM_IGNORECASE) {
        ca = kp::com::FoldAscii(ca);
        cb = kp::com::FoldAscii(cb);
      }
      if (ca != cb) return order(ca, cb);
    }
    return order(la, lb);
  }
  // Numbers (and a text read as a number) compare by value: exactly when both sides have an
  // exact form, otherwise as doubles.
  VARIANT da, db;
  VariantInit(&da);
  VariantInit(&db);
  const bool exact = a.vt != VT_R4 && a.vt != VT_R8 && a.vt != VT_DATE && b.vt != VT_R4 && b.vt != VT_R8 &&
                     b.vt != VT_DATE && a.vt != VT_BSTR && b.vt != VT_BSTR;
  const VARTYPE common = exact ? VT_DECIMAL : VT_R8;
  hr = kp::com::ChangeType(&da, &a, 0, common);
  if (SUCCEEDED(hr)) hr = kp::com::ChangeType(&db, &b, 0, common);
  if (FAILED(hr)) return hr;
  if (!exact) return order(da.dblVal, db.dblVal);
  // Both are DECIMALs (magnitudes below 2^96): exact when their scales differ by at most 9,
  // which keeps the rescaled magnitudes inside 128 bits.
  kp::com::Number na, nb;
  kp::com::ToNumber(da, &na);
  kp::com::ToNumber(db, &nb);
  if (na.scale - nb.scale > 9 || nb.scale - na.scale > 9) return order(na.approx, nb.approx);
  auto scaled = [](const kp::com::Number& n, int scale) {
    __int128 m = static_cast<__int128>(n.magnitude);
    for (int i = n.scale; i < scale; ++i) m *= 10;
    return n.negative ? -m : m;
  };
  const int scale = na.scale > nb.scale ? na.scale : nb.scale;
  return order(scaled(na, scale), scaled(nb, scale));
}

}  // extern "C"
