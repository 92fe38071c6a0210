// The table-driven IDispatch of kpdispatch.h: name lookup, the checks of Invoke in the order
// Windows' standard dispatch makes them, argument coercion, the handler call and the transfer
// of errors into EXCEPINFO. The rules are listed in kpdispatch.h.
#include "kp/kpdispatch.h"

#include <cstring>

#include "ComInternal.h"
#include "comdef.h"
#include "winnls.h"

namespace kp {
namespace {

bool IsMissingValue(const VARIANT& v) {
  return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND;
}

VARIANT MissingValue() {
  VARIANT v;
  v.vt = VT_ERROR;
  v.scode = DISP_E_PARAMNOTFOUND;
  return v;
}

void ClearAll(std::vector<VARIANT>& args) {
  for (VARIANT& v : args) VariantClear(&v);
}

}  // namespace

// --- DispCall

DispCall::DispCall(const DispSignature& member, WORD flags, std::vector<VARIANT>& args)
    : member_(member), flags_(flags), args_(args) {
  VariantInit(&result_);
}

DispCall::~DispCall() {
  VariantClear(&result_);
  for (BSTR b : scratch_) SysFreeString(b);
}

bool DispCall::IsMissing(UINT i) const {
  return i >= args_.size() || IsMissingValue(args_[i]);
}

bool DispCall::Convert(UINT i, VARTYPE vt, VARIANT& out) const {
  VariantInit(&out);
  if (i >= args_.size() || IsMissingValue(args_[i])) return false;
  return SUCCEEDED(VariantChangeType(&out, &args_[i], 0, vt));
}

LONG DispCall::Long(UINT i) const {
  if (i < args_.size() && args_[i].vt == VT_I4) return args_[i].lVal;
  VARIANT v;
  return Convert(i, VT_I4, v) ? v.lVal : 0;
}

LONG64 DispCall::Long64(UINT i) const {
  if (i < args_.size() && args_[i].vt == VT_I8) return args_[i].llVal;
  VARIANT v;
  return Convert(i, VT_I8, v) ? v.llVal : 0;
}

double DispCall::Double(UINT i) const {
  if (i < args_.size() && args_[i].vt == VT_R8) return args_[i].dblVal;
  VARIANT v;
  return Convert(i, VT_R8, v) ? v.dblVal : 0.0;
}

bool DispCall::Bool(UINT i) const {
  if (i < args_.size() && args_[i].vt == VT_BOOL) return args_[i].boolVal != VARIANT_FALSE;
  VARIANT v;
  return Convert(i, VT_BOOL, v) && v.boolVal != VARIANT_FALSE;
}

BSTR DispCall::Bstr(UINT i) const {
  if (i < args_.size() && args_[i].vt == VT_BSTR) return args_[i].bstrVal;
  VARIANT v;
  if (!Convert(i, VT_BSTR, v)) return nullptr;
  scratch_.push_back(v.bstrVal);
  return v.bstrVal;
}

std::u16string DispCall::Wide(UINT i) const {
  BSTR b = Bstr(i);
  return b ? std::u16string(b, SysStringLen(b)) : std::u16string();
}

std::string DispCall::Text(UINT i) const {
  BSTR b = Bstr(i);
  return b ? Narrow(b, static_cast<size_t>(SysStringLen(b))) : std::string();
}

IDispatch* DispCall::Dispatch(UINT i) const {
  if (i >= args_.size()) return nullptr;
  const VARIANT& v = args_[i];
  if (v.vt == VT_DISPATCH) return v.pdispVal;
  if (v.vt == (VT_BYREF | VT_DISPATCH) && v.ppdispVal) return *v.ppdispVal;
  return nullptr;
}

IUnknown* DispCall::Unknown(UINT i) const {
  if (i >= args_.size()) return nullptr;
  const VARIANT& v = args_[i];
  if (v.vt == VT_UNKNOWN || v.vt == VT_DISPATCH) return v.punkVal;
  if ((v.vt == (VT_BYREF | VT_UNKNOWN) || v.vt == (VT_BYREF | VT_DISPATCH)) && v.ppunkVal) return *v.ppunkVal;
  return nullptr;
}

void DispCall::SetResult(VARIANT& v) {
  VariantClear(&result_);
  std::memcpy(&result_, &v, sizeof(VARIANT));
}

void DispCall::Return(LONG value) {
  VARIANT v;
  v.vt = VT_I4;
  v.lVal = value;
  SetResult(v);
}

void DispCall::Return(long value) {
  VARIANT v;
  if (value >= INT32_MIN && value <= INT32_MAX) {
    v.vt = VT_I4;
    v.lVal = static_cast<LONG>(value);
  } else {
    v.vt = VT_I8;
    v.llVal = value;
  }
  SetResult(v);
}

void DispCall::Return(double value) {
  VARIANT v;
  v.vt = VT_R8;
  v.dblVal = value;
  SetResult(v);
}

void DispCall::Return(bool value) {
  VARIANT v;
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  SetResult(v);
}

void DispCall::Return(const char* gbkText) {
  VARIANT v;
  v.vt = VT_BSTR;
  v.bstrVal = _com_util::ConvertStringToBSTR(gbkText ? gbkText : "");
  SetResult(v);
}

void DispCall::Return(const OLECHAR* text) {
  VARIANT v;
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(text ? text : u"");
  SetResult(v);
}

void DispCall::Return(IDispatch* object) {
  VARIANT v;
  v.vt = VT_DISPATCH;
  v.pdispVal = object;
  if (object) object->AddRef();
  SetResult(v);
}

void DispCall::Return(const VARIANT& value) {
  VARIANT v;
  VariantInit(&v);
  if (SUCCEEDED(VariantCopy(&v, &value))) SetResult(v);
}

HRESULT DispCall::Raise(HRESULT scode, const char* gbkDescription, const char* gbkSource) {
  SetRaised(scode, gbkDescription ? Widen(gbkDescription, std::strlen(gbkDescription)) : std::u16string(),
            gbkSource ? Widen(gbkSource, std::strlen(gbkSource)) : std::u16string());
  return DISP_E_EXCEPTION;
}

void DispCall::SetRaised(HRESULT scode, std::u16string description, std::u16string source) {
  scode_ = scode;
  description_ = std::move(description);
  source_ = std::move(source);
}

// --- DispTableBase

DispTableBase::~DispTableBase() = default;

HRESULT DispTableBase::GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, DISPID* rgDispId) const {
  if (!rgszNames || !rgDispId || cNames == 0) return E_INVALIDARG;
  for (UINT i = 0; i < cNames; ++i) rgDispId[i] = DISPID_UNKNOWN;
  for (const DispSignature& m : members_) {
    if (com::EqualsAsciiNoCase(rgszNames[0], m.name)) {
      rgDispId[0] = m.id;
      // Argument names are not part of the table.
      return cNames == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }
  }
  return DISP_E_UNKNOWNNAME;
}

const DispSignature* DispTableBase::Find(DISPID id, WORD flags, size_t* index) const {
  // A put asks for a put row, a method or get call for a method row first, then a get row.
  const WORD order[] = {
      static_cast<WORD>(flags & DISPATCH_PROPERTYPUT), static_cast<WORD>(flags & DISPATCH_PROPERTYPUTREF),
      static_cast<WORD>(flags & DISPATCH_METHOD), static_cast<WORD>(flags & DISPATCH_PROPERTYGET)};
  for (WORD kind : order) {
    if (!kind) continue;
    for (size_t i = 0; i < members_.size(); ++i) {
      if (members_[i].id == id && members_[i].kind == kind) {
        *index = i;
        return &members_[i];
      }
    }
    if (kind & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) return nullptr;  // never falls back to a get
  }
  return nullptr;
}

HRESULT DispTableBase::Invoke(void* self, DISPID dispIdMember, REFIID riid, LCID, WORD wFlags,
                              DISPPARAMS* params, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                              UINT* puArgErr) const {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (!params) return E_INVALIDARG;
  size_t index = 0;
  const DispSignature* member = Find(dispIdMember, wFlags, &index);
  if (!member) return DISP_E_MEMBERNOTFOUND;

  const bool isPut = member->kind == kPut || member->kind == kPutRef;
  if (isPut) {
    if (params->cNamedArgs != 1 || !params->rgdispidNamedArgs ||
        params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
      return params->cNamedArgs == 0 ? DISP_E_PARAMNOTFOUND : DISP_E_NONAMEDARGS;
    }
  } else if (params->cNamedArgs != 0) {
    return DISP_E_NONAMEDARGS;
  }

  const UINT declared = member->ArgCount();
  const UINT required = declared - static_cast<UINT>(member->optional);
  const UINT given = params->cArgs;
  if (given < required || given > declared) return DISP_E_BADPARAMCOUNT;
  if (given && !params->rgvarg) return E_INVALIDARG;

  std::vector<VARIANT> args(declared);
  for (VARIANT& v : args) VariantInit(&v);
  for (UINT k = 0; k < declared; ++k) {
    if (k >= given) {
      args[k] = MissingValue();
      continue;
    }
    const UINT at = given - 1 - k;  // rgvarg holds the last argument first
    const VARIANT& src = params->rgvarg[at];
    const VARTYPE want = member->args[k];
    HRESULT hr = S_OK;
    if (want == VT_VARIANT) {
      hr = VariantCopy(&args[k], &src);
    } else if (want & VT_BYREF) {
      if (src.vt != want) {
        hr = DISP_E_TYPEMISMATCH;
      } else {
        args[k] = src;  // passed through: the handler writes through the pointer
      }
    } else if (k >= required && IsMissingValue(src)) {
      args[k] = MissingValue();
    } else {
      hr = VariantChangeType(&args[k], &src, 0, want);
    }
    if (FAILED(hr)) {
      ClearAll(args);
      if (puArgErr && (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_OVERFLOW || hr == DISP_E_BADVARTYPE)) {
        *puArgErr = at;
      }
      return hr == DISP_E_BADVARTYPE ? DISP_E_TYPEMISMATCH : hr;
    }
  }

  DispCall call(*member, wFlags, args);
  HRESULT hr;
  try {
    hr = Call(self, index, call);
  } catch (const _com_error& e) {
    _bstr_t description = e.Description();
    std::u16string text = description.length()
                              ? std::u16string(static_cast<const OLECHAR*>(description), description.length())
                              : Widen(e.ErrorMessage(), std::strlen(e.ErrorMessage()));
    _bstr_t source = e.Source();
    call.SetRaised(e.Error(), std::move(text),
                   source.length() ? std::u16string(static_cast<const OLECHAR*>(source), source.length())
                                   : std::u16string());
    hr = DISP_E_EXCEPTION;
  } catch (const std::exception& e) {
    call.SetRaised(E_FAIL, Widen(e.what(), std::strlen(e.what())), std::u16string());
    hr = DISP_E_EXCEPTION;
  } catch (...) {
    call.SetRaised(E_UNEXPECTED, u"unexpected exception", std::u16string());
    hr = DISP_E_EXCEPTION;
  }

  if (hr == DISP_E_EXCEPTION) {
    if (pExcepInfo) {
      std::memset(pExcepInfo, 0, sizeof(EXCEPINFO));
      const std::u16string source = call.RaisedSource().empty()
                                        ? Widen(source_ ? source_ : "", source_ ? std::strlen(source_) : 0)
                                        : call.RaisedSource();
      pExcepInfo->bstrSource = com::AllocBstr(source);
      pExcepInfo->bstrDescription = com::AllocBstr(call.RaisedDescription());
      pExcepInfo->scode = FAILED(call.RaisedScode()) ? call.RaisedScode() : E_FAIL;
    }
  } else if (SUCCEEDED(hr) && pVarResult) {
    VARIANT& result = call.Result();
    VariantInit(pVarResult);
    if (member->result != VT_EMPTY && member->result != VT_VARIANT && result.vt != member->result) {
      HRESULT cv = VariantChangeType(&result, &result, 0, member->result);
      if (FAILED(cv)) hr = cv;
    }
    if (SUCCEEDED(hr) && member->result != VT_EMPTY) {
      std::memcpy(pVarResult, &result, sizeof(VARIANT));
      VariantInit(&result);
    }
  }
  ClearAll(args);  // our copies; clearing a by-reference argument leaves the caller's value alone
  return hr;
}

}  // namespace kp
