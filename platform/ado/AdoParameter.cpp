// Parameter and Parameters (see AdoParameter.h).
#include "AdoParameter.h"

#include <oleauto.h>

#include "AdoError.h"
#include "kp/kpnotimpl.h"

namespace kp::ado {

AdoParameter::AdoParameter() {
  VariantInit(&value_);
}
AdoParameter::~AdoParameter() {
  VariantClear(&value_);
}

HRESULT AdoParameter::get_Properties(Properties** pp) {
  if (pp) *pp = nullptr;
  return KP_NOT_IMPLEMENTED("Parameter::Properties");
}
HRESULT AdoParameter::get_Name(BSTR* p) {
  if (!p) return E_POINTER;
  *p = AllocBstr(name_);
  return S_OK;
}
HRESULT AdoParameter::put_Name(BSTR v) {
  name_ = std::u16string(BstrView(v));
  return S_OK;
}
HRESULT AdoParameter::get_Value(VARIANT* p) {
  if (!p) return E_POINTER;
  VariantInit(p);
  return VariantCopy(p, &value_);
}
HRESULT AdoParameter::put_Value(VARIANT v) {
  VARIANT copy;
  VariantInit(&copy);
  HRESULT hr = VariantCopyInd(&copy, &v);
  if (FAILED(hr)) return AdoFail(AdoErr(adErrDataConversion), kSrcParameter);
  VariantClear(&value_);
  value_ = copy;
  return S_OK;
}
HRESULT AdoParameter::get_Type(DataTypeEnum* p) {
  if (!p) return E_POINTER;
  *p = type_;
  return S_OK;
}
HRESULT AdoParameter::put_Type(DataTypeEnum v) {
  type_ = v;
  return S_OK;
}
HRESULT AdoParameter::put_Direction(ParameterDirectionEnum v) {
  if (v < adParamUnknown || v > adParamReturnValue)
    return AdoFail(AdoErr(adErrInvalidArgument), kSrcParameter);
  direction_ = v;
  return S_OK;
}
HRESULT AdoParameter::get_Direction(ParameterDirectionEnum* p) {
  if (!p) return E_POINTER;
  *p = direction_;
  return S_OK;
}
HRESULT AdoParameter::put_Precision(unsigned char v) {
  precision_ = v;
  return S_OK;
}
HRESULT AdoParameter::get_Precision(unsigned char* p) {
  if (!p) return E_POINTER;
  *p = precision_;
  return S_OK;
}
HRESULT AdoParameter::put_NumericScale(unsigned char v) {
  scale_ = v;
  return S_OK;
}
HRESULT AdoParameter::get_NumericScale(unsigned char* p) {
  if (!p) return E_POINTER;
  *p = scale_;
  return S_OK;
}
HRESULT AdoParameter::put_Size(LONG v) {
  if (v < 0) return AdoFail(AdoErr(adErrInvalidArgument), kSrcParameter);
  size_ = v;
  return S_OK;
}
HRESULT AdoParameter::get_Size(LONG* p) {
  if (!p) return E_POINTER;
  *p = size_;
  return S_OK;
}
HRESULT AdoParameter::raw_AppendChunk(VARIANT v) {
  if (!(attributes_ & adParamLong)) return AdoFail(AdoErr(adErrFeatureNotAvailable), kSrcParameter);
  if (v.vt == VT_NULL) {  // Null discards what was appended
    VariantClear(&value_);
    value_.vt = VT_NULL;
    return S_OK;
  }
  if (value_.vt == VT_BSTR && v.vt == VT_BSTR) {
    std::u16string s(BstrView(value_.bstrVal));
    s += BstrView(v.bstrVal);
    VariantClear(&value_);
    value_.vt = VT_BSTR;
    value_.bstrVal = AllocBstr(s);
    return S_OK;
  }
  if (value_.vt == (VT_ARRAY | VT_UI1) && v.vt == (VT_ARRAY | VT_UI1)) {
    LONG lo1 = 0, hi1 = -1, lo2 = 0, hi2 = -1;
    SafeArrayGetLBound(value_.parray, 1, &lo1);
    SafeArrayGetUBound(value_.parray, 1, &hi1);
    SafeArrayGetLBound(v.parray, 1, &lo2);
    SafeArrayGetUBound(v.parray, 1, &hi2);
    ULONG n1 = (ULONG)(hi1 - lo1 + 1), n2 = (ULONG)(hi2 - lo2 + 1);
    SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, n1 + n2);
    BYTE *d = nullptr, *a = nullptr, *b = nullptr;
    SafeArrayAccessData(sa, (void**)&d);
    SafeArrayAccessData(value_.parray, (void**)&a);
    SafeArrayAccessData(v.parray, (void**)&b);
    std::copy(a, a + n1, d);
    std::copy(b, b + n2, d + n1);
    SafeArrayUnaccessData(v.parray);
    SafeArrayUnaccessData(value_.parray);
    SafeArrayUnaccessData(sa);
    VariantClear(&value_);
    value_.vt = VT_ARRAY | VT_UI1;
    value_.parray = sa;
    return S_OK;
  }
  return put_Value(v);
}
HRESULT AdoParameter::get_Attributes(LONG* p) {
  if (!p) return E_POINTER;
  *p = attributes_;
  return S_OK;
}
HRESULT AdoParameter::put_Attributes(LONG v) {
  attributes_ = v;
  return S_OK;
}

AdoParameters::~AdoParameters() {
  for (auto* p : items_) p->Release();
}

HRESULT AdoParameters::get_Count(LONG* c) {
  if (!c) return E_POINTER;
  *c = (LONG)items_.size();
  return S_OK;
}

HRESULT AdoParameters::raw__NewEnum(IUnknown** pp) {
  if (pp) *pp = nullptr;
  return KP_NOT_IMPLEMENTED("Parameters::_NewEnum");
}

HRESULT AdoParameters::raw_Refresh() {
  // Builds one input parameter per placeholder of the command text ("Param1", "Param2", ...):
  // SQLite declares no parameter types, so they are adVariant until the caller sets them.
  if (!refreshCount_) return AdoFail(AdoErr(adErrInvalidConnection), kSrcParameters);
  int n = 0;
  HRESULT hr = refreshCount_(refreshCtx_, n);
  if (FAILED(hr)) return hr;
  for (auto* p : items_) p->Release();
  items_.clear();
  for (int i = 0; i < n; ++i) {
    auto* p = new AdoParameter();
    std::u16string name = u"Param" + Ascii(std::to_string(i + 1).c_str());
    BSTR b = AllocBstr(name);
    p->put_Name(b);
    SysFreeString(b);
    p->put_Type(adVariant);
    items_.push_back(p);
  }
  return S_OK;
}

HRESULT AdoParameters::raw_Append(IDispatch* object) {
  if (!object) return AdoFail(AdoErr(adErrInvalidArgument), kSrcParameters);
  _Parameter* p = nullptr;
  if (FAILED(object->QueryInterface(__uuidof(_Parameter), reinterpret_cast<void**>(&p))) || !p)
    return AdoFail(DISP_E_TYPEMISMATCH, kSrcParameters);
  for (auto* q : items_)
    if (q == p) {
      p->Release();
      return AdoFail(AdoErr(adErrObjectInCollection), kSrcParameters);
    }
  items_.push_back(p);  // keeps the reference from QueryInterface
  return S_OK;
}

int AdoParameters::Find(const VARIANT& index) {
  const VARIANT* v = &index;
  if (v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
  if (v->vt == VT_BSTR) {
    for (size_t i = 0; i < items_.size(); ++i) {
      BSTR name = nullptr;
      items_[i]->get_Name(&name);
      bool same = EqualsAsciiNoCase(BstrView(name), BstrView(v->bstrVal));
      SysFreeString(name);
      if (same) return (int)i;
    }
    return -1;
  }
  VARIANT n;
  VariantInit(&n);
  if (FAILED(VariantChangeType(&n, v, 0, VT_I4))) return -1;
  return n.lVal >= 0 && (size_t)n.lVal < items_.size() ? n.lVal : -1;
}

HRESULT AdoParameters::raw_Delete(VARIANT index) {
  int i = Find(index);
  if (i < 0) return AdoFail(AdoErr(adErrItemNotFound), kSrcParameters);
  items_[i]->Release();
  items_.erase(items_.begin() + i);
  return S_OK;
}

HRESULT AdoParameters::get_Item(VARIANT index, _Parameter** pp) {
  if (!pp) return E_POINTER;
  *pp = nullptr;
  int i = Find(index);
  if (i < 0) return AdoFail(AdoErr(adErrItemNotFound), kSrcParameters);
  *pp = items_[i];
  (*pp)->AddRef();
  return S_OK;
}

}  // namespace kp::ado
