// COleVariant: a VARIANT that owns its value (VariantClear on destruction and assignment,
// VariantCopy on copying). Narrow text is GBK: the VT_BSTR constructors widen it to UTF-16;
// VT_BSTRT keeps the narrow bytes as they are inside the BSTR (SysAllocStringByteLen), as MFC's
// ANSI build does. Conversion failures throw COleException (MFC's behaviour).
#include <cstring>

#include "afxdisp.h"

namespace {

void Check(HRESULT hr) {
  if (FAILED(hr)) AfxThrowOleException(hr);
}

}  // namespace

COleVariant::COleVariant() {
  VariantInit(this);
}
COleVariant::COleVariant(const VARIANT& varSrc) {
  VariantInit(this);
  Check(VariantCopy(this, &varSrc));
}
COleVariant::COleVariant(LPCVARIANT pSrc) {
  VariantInit(this);
  if (pSrc) Check(VariantCopy(this, pSrc));
}
COleVariant::COleVariant(const COleVariant& varSrc) : VARIANT() {
  VariantInit(this);
  Check(VariantCopy(this, &varSrc));
}
COleVariant::COleVariant(LPCTSTR lpszSrc) {
  VariantInit(this);
  SetString(lpszSrc, VT_BSTR);
}
COleVariant::COleVariant(LPCTSTR lpszSrc, VARTYPE vtSrc) {
  VariantInit(this);
  SetString(lpszSrc, vtSrc);
}
COleVariant::COleVariant(const CString& strSrc) {
  VariantInit(this);
  SetString(strSrc, VT_BSTR);
}
COleVariant::COleVariant(BYTE nSrc) {
  VariantInit(this);
  vt = VT_UI1;
  bVal = nSrc;
}
COleVariant::COleVariant(short nSrc, VARTYPE vtSrc) {
  VariantInit(this);
  if (vtSrc == VT_BOOL) {
    vt = VT_BOOL;
    boolVal = nSrc ? VARIANT_TRUE : VARIANT_FALSE;
  } else {
    vt = VT_I2;
    iVal = nSrc;
  }
}
COleVariant::COleVariant(LONG lSrc, VARTYPE vtSrc) {
  VariantInit(this);
  if (vtSrc == VT_BOOL) {
    vt = VT_BOOL;
    boolVal = lSrc ? VARIANT_TRUE : VARIANT_FALSE;
  } else if (vtSrc == VT_ERROR) {
    vt = VT_ERROR;
    scode = lSrc;
  } else {
    vt = VT_I4;
    lVal = lSrc;
  }
}
COleVariant::COleVariant(float fltSrc) {
  VariantInit(this);
  vt = VT_R4;
  fltVal = fltSrc;
}
COleVariant::COleVariant(double dblSrc, VARTYPE vtSrc) {
  VariantInit(this);
  vt = vtSrc == VT_DATE ? VT_DATE : VT_R8;
  dblVal = dblSrc;
}
COleVariant::COleVariant(const COleCurrency& curSrc) {
  VariantInit(this);
  *this = curSrc;
}
COleVariant::COleVariant(const COleDateTime& timeSrc) {
  VariantInit(this);
  *this = timeSrc;
}
COleVariant::~COleVariant() {
  VariantClear(this);
}

void COleVariant::Clear() {
  Check(VariantClear(this));
}

void COleVariant::ChangeType(VARTYPE vartype, LPVARIANT pSrc) {
  if (!pSrc) pSrc = this;
  if (pSrc != this || vartype != vt) Check(VariantChangeType(this, pSrc, 0, vartype));
}

void COleVariant::Attach(VARIANT& varSrc) {
  Clear();
  std::memcpy(static_cast<VARIANT*>(this), &varSrc, sizeof(VARIANT));
  varSrc.vt = VT_EMPTY;
}

VARIANT COleVariant::Detach() {
  VARIANT result;
  std::memcpy(&result, static_cast<VARIANT*>(this), sizeof(VARIANT));
  vt = VT_EMPTY;
  return result;
}

void COleVariant::SetString(LPCTSTR lpszSrc, VARTYPE vtSrc) {
  Clear();
  if (vtSrc == VT_BSTRT) {
    size_t length = lpszSrc ? std::strlen(lpszSrc) : 0;
    bstrVal = SysAllocStringByteLen(lpszSrc ? lpszSrc : "", static_cast<UINT>(length));
    if (!bstrVal) AfxThrowMemoryException();
  } else {
    bstrVal = CString(lpszSrc).AllocSysString();
  }
  vt = VT_BSTR;
}

const COleVariant& COleVariant::operator=(const VARIANT& varSrc) {
  if (static_cast<const VARIANT*>(this) != &varSrc) Check(VariantCopy(this, &varSrc));
  return *this;
}
const COleVariant& COleVariant::operator=(LPCVARIANT pSrc) {
  if (pSrc) *this = *pSrc;
  return *this;
}
const COleVariant& COleVariant::operator=(const COleVariant& varSrc) {
  return *this = static_cast<const VARIANT&>(varSrc);
}
const COleVariant& COleVariant::operator=(LPCTSTR lpszSrc) {
  SetString(lpszSrc, VT_BSTR);
  return *this;
}
const COleVariant& COleVariant::operator=(const CString& strSrc) {
  SetString(strSrc, VT_BSTR);
  return *this;
}
const COleVariant& COleVariant::operator=(BYTE nSrc) {
  Clear();
  vt = VT_UI1;
  bVal = nSrc;
  return *this;
}
const COleVariant& COleVariant::operator=(short nSrc) {
  Clear();
  vt = VT_I2;
  iVal = nSrc;
  return *this;
}
const COleVariant& COleVariant::operator=(LONG lSrc) {
  Clear();
  vt = VT_I4;
  lVal = lSrc;
  return *this;
}
const COleVariant& COleVariant::operator=(float fltSrc) {
  Clear();
  vt = VT_R4;
  fltVal = fltSrc;
  return *this;
}
const COleVariant& COleVariant::operator=(double dblSrc) {
  Clear();
  vt = VT_R8;
  dblVal = dblSrc;
  return *this;
}
const COleVariant& COleVariant::operator=(const COleCurrency& curSrc) {
  Clear();
  vt = VT_CY;
  cyVal = curSrc.m_cur;
  return *this;
}
const COleVariant& COleVariant::operator=(const COleDateTime& dateSrc) {
  Clear();
  vt = VT_DATE;
  date = dateSrc.m_dt;
  return *this;
}

bool COleVariant::operator==(const VARIANT& other) const {
  if (static_cast<const VARIANT*>(this) == &other) return true;
  if (vt != other.vt) return false;
  switch (vt & ~VT_BYREF) {
    case VT_EMPTY:
    case VT_NULL:
      return true;
    case VT_BSTR:
      if (vt & VT_BYREF) return byref == other.byref;
      return SysStringByteLen(bstrVal) == SysStringByteLen(other.bstrVal) &&
             std::memcmp(bstrVal ? static_cast<const void*>(bstrVal) : "",
                         other.bstrVal ? static_cast<const void*>(other.bstrVal) : "",
                         SysStringByteLen(bstrVal)) == 0;
    case VT_BOOL:
      return (vt & VT_BYREF) ? byref == other.byref : (boolVal != 0) == (other.boolVal != 0);
    case VT_R4:
      return (vt & VT_BYREF) ? byref == other.byref : fltVal == other.fltVal;
    case VT_R8:
    case VT_DATE:
      return (vt & VT_BYREF) ? byref == other.byref : dblVal == other.dblVal;
    case VT_I1:
    case VT_UI1:
      return (vt & VT_BYREF) ? byref == other.byref : bVal == other.bVal;
    case VT_I2:
    case VT_UI2:
      return (vt & VT_BYREF) ? byref == other.byref : iVal == other.iVal;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_ERROR:
      return (vt & VT_BYREF) ? byref == other.byref : lVal == other.lVal;
    default:  // 64-bit values and pointers (interfaces, arrays, references) compare as they stand
      return llVal == other.llVal;
  }
}
