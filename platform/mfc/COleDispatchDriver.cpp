// COleDispatchDriver: calls through an IDispatch with MFC's parameter-type strings (see
// afxdisp.h for the argument and result rules, which follow MFC's InvokeHelper).
#include <cstring>
#include <vector>

#include "afxdisp.h"
#include "objbase.h"

namespace {

// The BSTRs made for VTS_BSTR / VTS_WBSTR arguments, freed after the call on every path.
class OwnedStrings {
 public:
  ~OwnedStrings() {
    for (BSTR s : strings_) SysFreeString(s);
  }
  BSTR Add(BSTR s) {
    strings_.push_back(s);
    return s;
  }

 private:
  std::vector<BSTR> strings_;
};

// Reads one argument of type `type` (a parameter-type byte) from the va_list into *arg.
// Answers FALSE for a byte that names no known type.
bool ReadArgument(BYTE type, va_list& args, VARIANT* arg, OwnedStrings& owned) {
  VariantInit(arg);
  if (type & VT_MFCBYREF) {
    VARTYPE vt = static_cast<VARTYPE>(type & ~VT_MFCBYREF);
    switch (vt) {
      case VT_I1:
      case VT_UI1:
      case VT_I2:
      case VT_UI2:
      case VT_I4:
      case VT_UI4:
      case VT_I8:
      case VT_UI8:
      case VT_INT:
      case VT_UINT:
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
        arg->vt = static_cast<VARTYPE>(vt | VT_BYREF);
        arg->byref = va_arg(args, void*);
        return true;
      default:
        return false;
    }
  }
  arg->vt = type;
  switch (type) {
    case VT_I1:
      arg->cVal = static_cast<CHAR>(va_arg(args, int));
      return true;
    case VT_UI1:
      arg->bVal = static_cast<BYTE>(va_arg(args, int));
      return true;
    case VT_I2:
      arg->iVal = static_cast<SHORT>(va_arg(args, int));
      return true;
    case VT_UI2:
      arg->uiVal = static_cast<USHORT>(va_arg(args, int));
      return true;
    case VT_I4:
      arg->lVal = static_cast<LONG>(va_arg(args, int));
      return true;
    case VT_UI4:
      arg->ulVal = static_cast<ULONG>(va_arg(args, unsigned));
      return true;
    case VT_INT:
      arg->intVal = va_arg(args, int);
      return true;
    case VT_UINT:
      arg->uintVal = va_arg(args, unsigned);
      return true;
    case VT_I8:
      arg->llVal = va_arg(args, LONGLONG);
      return true;
    case VT_UI8:
      arg->ullVal = va_arg(args, ULONGLONG);
      return true;
    case VT_R4:
      arg->fltVal = static_cast<FLOAT>(va_arg(args, double));
      return true;
    case VT_R8:
      arg->dblVal = va_arg(args, double);
      return true;
    case VT_DATE:
      arg->date = va_arg(args, double);
      return true;
    case VT_CY: {
      const CY* cy = va_arg(args, const CY*);
      arg->cyVal.int64 = cy ? cy->int64 : 0;
      return true;
    }
    case VT_BSTR:
      arg->bstrVal = owned.Add(SysAllocString(va_arg(args, LPCOLESTR)));
      return true;
    case VT_BSTRA:
      arg->vt = VT_BSTR;
      arg->bstrVal = owned.Add(CString(va_arg(args, LPCSTR)).AllocSysString());
      return true;
    case VT_DISPATCH:
      arg->pdispVal = va_arg(args, LPDISPATCH);
      return true;
    case VT_UNKNOWN:
      arg->punkVal = va_arg(args, LPUNKNOWN);
      return true;
    case VT_ERROR:
      arg->scode = static_cast<SCODE>(va_arg(args, int));
      return true;
    case VT_BOOL:
      arg->boolVal = va_arg(args, int) ? VARIANT_TRUE : VARIANT_FALSE;
      return true;
    case VT_VARIANT: {
      const VARIANT* source = va_arg(args, const VARIANT*);
      if (source) {
        *arg = *source;  // shallow: the caller keeps ownership
      } else {
        arg->vt = VT_ERROR;
        arg->scode = DISP_E_PARAMNOTFOUND;
      }
      return true;
    }
    default:
      return false;
  }
}

// Stores the result (already converted to vtRet) through pvRet; takes over its references.
void StoreResult(VARIANT& result, VARTYPE vtRet, void* pvRet) {
  switch (vtRet) {
    case VT_I1:
      *static_cast<CHAR*>(pvRet) = result.cVal;
      break;
    case VT_UI1:
      *static_cast<BYTE*>(pvRet) = result.bVal;
      break;
    case VT_I2:
      *static_cast<SHORT*>(pvRet) = result.iVal;
      break;
    case VT_UI2:
      *static_cast<USHORT*>(pvRet) = result.uiVal;
      break;
    case VT_I4:
      *static_cast<LONG*>(pvRet) = result.lVal;
      break;
    case VT_UI4:
      *static_cast<ULONG*>(pvRet) = result.ulVal;
      break;
    case VT_INT:
      *static_cast<INT*>(pvRet) = result.intVal;
      break;
    case VT_UINT:
      *static_cast<UINT*>(pvRet) = result.uintVal;
      break;
    case VT_I8:
      *static_cast<LONGLONG*>(pvRet) = result.llVal;
      break;
    case VT_UI8:
      *static_cast<ULONGLONG*>(pvRet) = result.ullVal;
      break;
    case VT_R4:
      *static_cast<FLOAT*>(pvRet) = result.fltVal;
      break;
    case VT_R8:
      *static_cast<DOUBLE*>(pvRet) = result.dblVal;
      break;
    case VT_DATE:
      *static_cast<DATE*>(pvRet) = result.date;
      break;
    case VT_CY:
      *static_cast<CY*>(pvRet) = result.cyVal;
      break;
    case VT_ERROR:
      *static_cast<SCODE*>(pvRet) = result.scode;
      break;
    case VT_BOOL:
      *static_cast<BOOL*>(pvRet) = result.boolVal != VARIANT_FALSE;
      break;
    case VT_BSTR:
      *static_cast<CString*>(pvRet) = CString(result.bstrVal, static_cast<int>(SysStringLen(result.bstrVal)));
      SysFreeString(result.bstrVal);
      break;
    case VT_DISPATCH:
      *static_cast<LPDISPATCH*>(pvRet) = result.pdispVal;
      break;
    case VT_UNKNOWN:
      *static_cast<LPUNKNOWN*>(pvRet) = result.punkVal;
      break;
    case VT_VARIANT:
      *static_cast<VARIANT*>(pvRet) = result;
      break;
    default:
      VariantClear(&result);
      AfxThrowOleException(DISP_E_BADVARTYPE);
  }
  result.vt = VT_EMPTY;
}

[[noreturn]] void ThrowDispatchException(EXCEPINFO& info) {
  if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
  auto* e = new COleDispatchException(nullptr, 0, info.wCode);
  e->m_scError = info.scode;
  auto text = [](BSTR s) { return CString(s, static_cast<int>(SysStringLen(s))); };
  if (info.bstrSource) e->m_strSource = text(info.bstrSource);
  if (info.bstrDescription) e->m_strDescription = text(info.bstrDescription);
  if (info.bstrHelpFile) e->m_strHelpFile = text(info.bstrHelpFile);
  e->m_dwHelpContext = info.dwHelpContext;
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrHelpFile);
  throw e;
}

}  // namespace

COleDispatchDriver::COleDispatchDriver() : m_lpDispatch(nullptr), m_bAutoRelease(TRUE) {}

COleDispatchDriver::COleDispatchDriver(LPDISPATCH lpDispatch, BOOL bAutoRelease)
    : m_lpDispatch(lpDispatch), m_bAutoRelease(bAutoRelease) {}

COleDispatchDriver::COleDispatchDriver(const COleDispatchDriver& src)
    : m_lpDispatch(src.m_lpDispatch), m_bAutoRelease(TRUE) {
  if (m_lpDispatch) m_lpDispatch->AddRef();
}

COleDispatchDriver::~COleDispatchDriver() {
  ReleaseDispatch();
}

const COleDispatchDriver& COleDispatchDriver::operator=(const COleDispatchDriver& src) {
  if (this != &src) {
    LPDISPATCH other = src.m_lpDispatch;
    if (other) other->AddRef();
    ReleaseDispatch();
    m_lpDispatch = other;
    m_bAutoRelease = TRUE;
  }
  return *this;
}

BOOL COleDispatchDriver::CreateDispatch(REFCLSID clsid, COleException* pError) {
  ReleaseDispatch();
  LPUNKNOWN unknown = nullptr;
  SCODE sc = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&unknown));
  LPDISPATCH dispatch = nullptr;
  if (SUCCEEDED(sc)) {
    sc = unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    unknown->Release();
  }
  if (FAILED(sc)) {
    TRACE("COleDispatchDriver::CreateDispatch failed with 0x%08X\n", static_cast<unsigned>(sc));
    if (pError) pError->m_sc = sc;
    return FALSE;
  }
  m_lpDispatch = dispatch;
  m_bAutoRelease = TRUE;
  return TRUE;
}

BOOL COleDispatchDriver::CreateDispatch(LPCTSTR lpszProgID, COleException* pError) {
  std::u16string progId = kp::Widen(lpszProgID ? lpszProgID : "", lpszProgID ? std::strlen(lpszProgID) : 0);
  CLSID clsid;
  SCODE sc = CLSIDFromProgID(progId.c_str(), &clsid);
  if (FAILED(sc)) {
    TRACE("COleDispatchDriver::CreateDispatch: no class for ProgID %s (0x%08X)\n",
          lpszProgID ? lpszProgID : "", static_cast<unsigned>(sc));
    if (pError) pError->m_sc = sc;
    return FALSE;
  }
  return CreateDispatch(clsid, pError);
}

void COleDispatchDriver::AttachDispatch(LPDISPATCH lpDispatch, BOOL bAutoRelease) {
  ReleaseDispatch();
  m_lpDispatch = lpDispatch;
  m_bAutoRelease = bAutoRelease;
}

LPDISPATCH COleDispatchDriver::DetachDispatch() {
  LPDISPATCH dispatch = m_lpDispatch;
  m_lpDispatch = nullptr;
  return dispatch;
}

void COleDispatchDriver::ReleaseDispatch() {
  if (m_lpDispatch && m_bAutoRelease) m_lpDispatch->Release();
  m_lpDispatch = nullptr;
}

void AFX_CDECL COleDispatchDriver::InvokeHelper(DISPID dwDispID, WORD wFlags, VARTYPE vtRet, void* pvRet,
                                                const BYTE* pbParamInfo, ...) {
  va_list args;
  va_start(args, pbParamInfo);
  try {
    InvokeHelperV(dwDispID, wFlags, vtRet, pvRet, pbParamInfo, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
}

void COleDispatchDriver::InvokeHelperV(DISPID dwDispID, WORD wFlags, VARTYPE vtRet, void* pvRet,
                                       const BYTE* pbParamInfo, va_list argList) {
  if (!m_lpDispatch) {
    TRACE("COleDispatchDriver::InvokeHelper(dispid %d) with no IDispatch attached\n",
          static_cast<int>(dwDispID));
    AfxThrowOleException(E_POINTER);
  }
  size_t count = pbParamInfo ? std::strlen(reinterpret_cast<const char*>(pbParamInfo)) : 0;
  std::vector<VARIANT> arguments(count);
  OwnedStrings owned;
  va_list args;
  va_copy(args, argList);
  for (size_t i = 0; i < count; ++i) {
    // The first argument goes to the last slot: DISPPARAMS holds them in reverse order.
    if (!ReadArgument(pbParamInfo[i], args, &arguments[count - 1 - i], owned)) {
      va_end(args);
      TRACE("COleDispatchDriver::InvokeHelper: parameter %zu has the unknown type byte 0x%02X\n", i,
            static_cast<unsigned>(pbParamInfo[i]));
      AfxThrowOleException(DISP_E_BADVARTYPE);
    }
  }
  va_end(args);

  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{count ? arguments.data() : nullptr, nullptr, static_cast<UINT>(count), 0};
  if (wFlags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    params.rgdispidNamedArgs = &named;
    params.cNamedArgs = 1;
  }
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO info;
  std::memset(&info, 0, sizeof info);
  UINT argError = static_cast<UINT>(-1);
  SCODE sc = m_lpDispatch->Invoke(dwDispID, IID_NULL, 0, wFlags, &params,
                                  vtRet == VT_EMPTY ? nullptr : &result, &info, &argError);
  if (FAILED(sc)) {
    VariantClear(&result);
    if (sc == DISP_E_EXCEPTION) ThrowDispatchException(info);
    AfxThrowOleException(sc);
  }
  if (vtRet == VT_EMPTY) return;
  if (vtRet != VT_VARIANT && result.vt != vtRet) {
    sc = VariantChangeType(&result, &result, 0, vtRet);
    if (FAILED(sc)) {
      TRACE("COleDispatchDriver::InvokeHelper: the result of type %u does not convert to %u\n",
            static_cast<unsigned>(result.vt), static_cast<unsigned>(vtRet));
      VariantClear(&result);
      AfxThrowOleException(sc);
    }
  }
  if (!pvRet) {
    VariantClear(&result);
    return;
  }
  StoreResult(result, vtRet, pvRet);
}

void AFX_CDECL COleDispatchDriver::SetProperty(DISPID dwDispID, VARTYPE vtProp, ...) {
  va_list args;
  va_start(args, vtProp);
  try {
    SetPropertyV(dwDispID, vtProp, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
}

void COleDispatchDriver::SetPropertyV(DISPID dwDispID, VARTYPE vtProp, va_list argList) {
  BYTE type = static_cast<BYTE>(vtProp & ~VT_BYREF);
  if (type == VT_BSTR) type = VT_BSTRA;  // ANSI build: the value is an LPCSTR
  if (vtProp & VT_BYREF) type = static_cast<BYTE>(type | VT_MFCBYREF);
  const BYTE params[2] = {type, 0};
  InvokeHelperV(dwDispID, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, params, argList);
}

void COleDispatchDriver::GetProperty(DISPID dwDispID, VARTYPE vtProp, void* pvProp) const {
  const_cast<COleDispatchDriver*>(this)->InvokeHelper(dwDispID, DISPATCH_PROPERTYGET, vtProp, pvProp,
                                                      nullptr);
}
