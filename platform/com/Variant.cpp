// VARIANT handling: VariantInit, VariantClear, VariantCopy, VariantCopyInd and the dispatcher
// of VariantChangeType(Ex). Numbers, texts and dates are converted by VarNumber.cpp and
// OleDate.cpp; the rules are in oleauto.h.
//
// Documented behaviour followed: VariantClear frees what the VARIANT owns (BSTR, interface
// reference, SAFEARRAY) and leaves VT_EMPTY; a VT_BYREF VARIANT owns nothing. VariantCopy
// clears the destination first and copies deeply. VariantChangeType leaves the destination
// untouched when it fails. VT_RECORD values are not supported (E_NOTIMPL, logged).
#include <cstring>

#include "ComInternal.h"
#include "VarConvert.h"
#include "kp/kpcom.h"
#include "kp/kpnotimpl.h"

namespace kp::com {
namespace {

bool IsValidBase(VARTYPE base) {
  return base <= VT_DECIMAL || (base >= VT_I1 && base <= VT_UINT) || base == VT_RECORD;
}

// Checks a VARTYPE a VARIANT may carry.
bool IsValidVariantType(VARTYPE vt) {
  if (vt & (VT_VECTOR | VT_RESERVED)) return false;
  const VARTYPE base = vt & VT_TYPEMASK;
  if (!IsValidBase(base) || base == 15) return false;
  if ((vt & (VT_BYREF | VT_ARRAY)) && (base == VT_EMPTY || base == VT_NULL)) return false;
  return true;
}

HRESULT BoolFromText(const OLECHAR* s, size_t n, VARIANT* out) {
  std::u16string t(s, n);
  while (!t.empty() && (t.back() == u' ' || t.back() == u'\t')) t.pop_back();
  size_t start = 0;
  while (start < t.size() && (t[start] == u' ' || t[start] == u'\t')) ++start;
  t = t.substr(start);
  if (EqualsAsciiNoCase(t.c_str(), "true") || EqualsAsciiNoCase(t.c_str(), "#true#")) {
    out->boolVal = VARIANT_TRUE;
  } else if (EqualsAsciiNoCase(t.c_str(), "false") || EqualsAsciiNoCase(t.c_str(), "#false#")) {
    out->boolVal = VARIANT_FALSE;
  } else {
    Number num;
    HRESULT hr = ParseNumber(s, n, &num);
    if (FAILED(hr)) return hr;
    return FromNumber(num, VT_BOOL, out);
  }
  out->vt = VT_BOOL;
  return S_OK;
}

HRESULT ToText(const VARIANT& v, USHORT flags, VARIANT* out) {
  std::u16string text;
  switch (v.vt) {
    case VT_EMPTY:
      break;
    case VT_I1:
      text = AsciiToWide(std::to_string(static_cast<signed char>(v.cVal)).c_str());
      break;
    case VT_UI1:
      text = AsciiToWide(std::to_string(v.bVal).c_str());
      break;
    case VT_I2:
      text = AsciiToWide(std::to_string(v.iVal).c_str());
      break;
    case VT_UI2:
      text = AsciiToWide(std::to_string(v.uiVal).c_str());
      break;
    case VT_I4:
    case VT_INT:
      text = AsciiToWide(std::to_string(v.lVal).c_str());
      break;
    case VT_UI4:
    case VT_UINT:
      text = AsciiToWide(std::to_string(v.ulVal).c_str());
      break;
    case VT_I8:
      text = AsciiToWide(std::to_string(v.llVal).c_str());
      break;
    case VT_UI8:
      text = AsciiToWide(std::to_string(v.ullVal).c_str());
      break;
    case VT_R4:
      text = FormatR4(v.fltVal);
      break;
    case VT_R8:
      text = FormatR8(v.dblVal);
      break;
    case VT_CY:
      text = FormatCy(v.cyVal.int64);
      break;
    case VT_DECIMAL:
      text = FormatDec(v.decVal);
      break;
    case VT_DATE: {
      HRESULT hr = FormatDate(v.date, false, false, &text);
      if (FAILED(hr)) return hr;
      break;
    }
    case VT_BOOL:
      if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL)) {
        text = v.boolVal ? u"True" : u"False";
      } else {
        text = v.boolVal ? u"-1" : u"0";
      }
      break;
    case VT_ARRAY | VT_UI1:
      return BstrFromVector(v.parray, &out->bstrVal) == S_OK ? (out->vt = VT_BSTR, S_OK)
                                                             : DISP_E_TYPEMISMATCH;
    default:
      return DISP_E_TYPEMISMATCH;
  }
  out->bstrVal = AllocBstr(text);
  if (!out->bstrVal) return E_OUTOFMEMORY;
  out->vt = VT_BSTR;
  return S_OK;
}

// Reads the DISPID_VALUE property of an object.
HRESULT ValueProperty(IDispatch* object, VARIANT* value) {
  if (!object) return DISP_E_TYPEMISMATCH;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VariantInit(value);
  return object->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value,
                        nullptr, nullptr);
}

// Converts a plain (non-BYREF) value into tmp.
HRESULT Convert(const VARIANT& v, USHORT flags, VARTYPE vt, VARIANT* tmp) {
  if (vt == VT_EMPTY) return S_OK;
  if (v.vt == VT_NULL || vt == VT_NULL) return DISP_E_TYPEMISMATCH;
  if (v.vt == VT_DISPATCH && vt != VT_UNKNOWN) {
    if (flags & VARIANT_NOVALUEPROP) return DISP_E_TYPEMISMATCH;
    VARIANT value;
    HRESULT hr = ValueProperty(v.pdispVal, &value);
    if (FAILED(hr)) return hr;
    hr = ChangeType(tmp, &value, flags | VARIANT_NOVALUEPROP, vt);
    VariantClear(&value);
    return hr;
  }
  if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
    if (v.vt == VT_EMPTY) {
      tmp->punkVal = nullptr;
    } else if (v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) {
      tmp->punkVal = nullptr;
      if (v.punkVal) {
        HRESULT hr = v.punkVal->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown,
                                               reinterpret_cast<void**>(&tmp->punkVal));
        if (FAILED(hr)) return hr;
      }
    } else {
      return DISP_E_TYPEMISMATCH;
    }
    tmp->vt = vt;
    return S_OK;
  }
  if (vt == VT_BSTR) return ToText(v, flags, tmp);
  if (vt == (VT_ARRAY | VT_UI1) && v.vt == VT_BSTR) {
    HRESULT hr = VectorFromBstr(v.bstrVal, &tmp->parray);
    if (SUCCEEDED(hr)) tmp->vt = vt;
    return hr;
  }
  if ((vt & VT_ARRAY) || (v.vt & VT_ARRAY) || vt == VT_ERROR || v.vt == VT_ERROR || v.vt == VT_UNKNOWN) {
    return DISP_E_TYPEMISMATCH;
  }
  if (v.vt == VT_BSTR) {
    const UINT n = SysStringLen(v.bstrVal);
    const OLECHAR* s = v.bstrVal ? v.bstrVal : u"";
    if (vt == VT_DATE) {
      HRESULT hr = ParseDate(s, n, &tmp->date);
      if (SUCCEEDED(hr)) tmp->vt = VT_DATE;
      return hr;
    }
    if (vt == VT_BOOL) return BoolFromText(s, n, tmp);
    Number num;
    HRESULT hr = ParseNumber(s, n, &num);
    return FAILED(hr) ? hr : FromNumber(num, vt, tmp);
  }
  Number num;
  HRESULT hr = ToNumber(v, &num);
  return FAILED(hr) ? hr : FromNumber(num, vt, tmp);
}

}  // namespace

size_t ScalarSize(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
      return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
      return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
      return 8;
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_UNKNOWN:
      return sizeof(void*);
    case VT_DECIMAL:
      return sizeof(DECIMAL);
    case VT_VARIANT:
      return sizeof(VARIANT);
    default:
      return 0;
  }
}

HRESULT Dereference(const VARIANT* src, VARIANT* plain) {
  if (!(src->vt & VT_BYREF)) {
    std::memcpy(plain, src, sizeof(VARIANT));
    return S_OK;
  }
  if (!src->byref) return E_INVALIDARG;
  const VARTYPE base = src->vt & ~VT_BYREF;
  if (base == VT_VARIANT) {
    const VARIANT* inner = src->pvarVal;
    if (inner->vt == (VT_BYREF | VT_VARIANT)) return E_INVALIDARG;
    return Dereference(inner, plain);
  }
  VariantInit(plain);
  if (base & VT_ARRAY) {
    plain->parray = *src->pparray;
  } else if (base == VT_DECIMAL) {
    plain->decVal = *src->pdecVal;
  } else {
    const size_t size = ScalarSize(base);
    if (size == 0) return DISP_E_BADVARTYPE;
    std::memcpy(&plain->llVal, src->byref, size);
  }
  plain->vt = base;
  return S_OK;
}

HRESULT ChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt) {
  if (!dest || !src) return E_INVALIDARG;
  if (!IsValidVariantType(src->vt)) return DISP_E_BADVARTYPE;
  if ((vt & VT_BYREF) || !IsValidVariantType(vt) || ((vt & VT_TYPEMASK) == VT_VARIANT && !(vt & VT_ARRAY))) {
    return (vt & VT_BYREF) ? DISP_E_TYPEMISMATCH : DISP_E_BADVARTYPE;
  }
  VARIANT plain;
  HRESULT hr = Dereference(src, &plain);
  if (FAILED(hr)) return hr;
  VARIANT tmp;
  VariantInit(&tmp);
  hr = plain.vt == vt ? VariantCopy(&tmp, &plain) : Convert(plain, flags, vt, &tmp);
  if (FAILED(hr)) return hr;
  hr = VariantClear(dest);
  if (FAILED(hr)) {
    VariantClear(&tmp);
    return hr;
  }
  std::memcpy(dest, &tmp, sizeof(VARIANT));
  return S_OK;
}

}  // namespace kp::com

extern "C" {

void WINAPI VariantInit(VARIANTARG* v) {
  if (v) v->vt = VT_EMPTY;
}

HRESULT WINAPI VariantClear(VARIANTARG* v) {
  if (!v) return E_INVALIDARG;
  if (!(v->vt & VT_BYREF)) {
    if (!kp::com::IsValidVariantType(v->vt)) return DISP_E_BADVARTYPE;
    if (v->vt & VT_ARRAY) {
      if (v->parray) {
        HRESULT hr = SafeArrayDestroy(v->parray);
        if (FAILED(hr)) return hr;
      }
    } else {
      switch (v->vt) {
        case VT_BSTR:
          SysFreeString(v->bstrVal);
          break;
        case VT_DISPATCH:
        case VT_UNKNOWN:
          if (v->punkVal) v->punkVal->Release();
          break;
        case VT_RECORD:
          kp::LogNotImplemented("VariantClear", "VT_RECORD %p", v->brecVal.pvRecord);
          if (v->brecVal.pRecInfo) v->brecVal.pRecInfo->Release();
          break;
        default:
          break;
      }
    }
  }
  v->vt = VT_EMPTY;
  return S_OK;
}

HRESULT WINAPI VariantCopy(VARIANTARG* dest, const VARIANTARG* src) {
  if (!dest || !src) return E_INVALIDARG;
  if (dest == src) return S_OK;
  if (!kp::com::IsValidVariantType(src->vt)) return DISP_E_BADVARTYPE;
  HRESULT hr = VariantClear(dest);
  if (FAILED(hr)) return hr;
  if (src->vt & VT_BYREF) {
    std::memcpy(dest, src, sizeof(VARIANT));
    return S_OK;
  }
  if (src->vt & VT_ARRAY) {
    SAFEARRAY* copy = nullptr;
    if (src->parray) {
      hr = SafeArrayCopy(src->parray, &copy);
      if (FAILED(hr)) return hr;
    }
    dest->parray = copy;
    dest->vt = src->vt;
    return S_OK;
  }
  switch (src->vt) {
    case VT_BSTR:
      dest->bstrVal = nullptr;
      if (src->bstrVal) {
        dest->bstrVal =
            SysAllocStringByteLen(reinterpret_cast<LPCSTR>(src->bstrVal), SysStringByteLen(src->bstrVal));
        if (!dest->bstrVal) return E_OUTOFMEMORY;
      }
      dest->vt = VT_BSTR;
      return S_OK;
    case VT_DISPATCH:
    case VT_UNKNOWN:
      std::memcpy(dest, src, sizeof(VARIANT));
      if (dest->punkVal) dest->punkVal->AddRef();
      return S_OK;
    case VT_RECORD:
      return KP_NOT_IMPLEMENTED("VariantCopy", "VT_RECORD %p", src->brecVal.pvRecord);
    default:
      std::memcpy(dest, src, sizeof(VARIANT));
      return S_OK;
  }
}

HRESULT WINAPI VariantCopyInd(VARIANT* dest, const VARIANTARG* src) {
  if (!dest || !src) return E_INVALIDARG;
  if (!(src->vt & VT_BYREF)) return VariantCopy(dest, src);
  VARIANT plain;
  HRESULT hr = kp::com::Dereference(src, &plain);
  if (FAILED(hr)) return hr;
  VARIANT tmp;
  VariantInit(&tmp);
  hr = VariantCopy(&tmp, &plain);
  if (FAILED(hr)) return hr;
  hr = VariantClear(dest);
  if (FAILED(hr)) {
    VariantClear(&tmp);
    return hr;
  }
  std::memcpy(dest, &tmp, sizeof(VARIANT));
  return S_OK;
}

HRESULT WINAPI VariantChangeType(VARIANTARG* dest, const VARIANTARG* src, USHORT flags, VARTYPE vt) {
  return kp::com::ChangeType(dest, src, flags, vt);
}

HRESULT WINAPI VariantChangeTypeEx(VARIANTARG* dest, const VARIANTARG* src, LCID, USHORT flags, VARTYPE vt) {
  return kp::com::ChangeType(dest, src, flags, vt);
}

}  // extern "C"
