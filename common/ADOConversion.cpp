// The field conversion rules (see ADOConversion.h): the VARIANT-type switches of the reads, the
// converters, the VARIANT builders of the writes and the text parsers of SetValueString.
#include "ADOConversion.h"

#include <msado15.tlh>
#include <oleauto.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "kp/kpcrt.h"
#include "kp/kpvariant.h"

#include "ADODecimal.h"
#include "ADOException.h"

namespace ado2 {

namespace {

CString Gcvt(double value, int digits) {
  char buffer[_CVTBUFSIZE];
  return CString(_gcvt(value, digits, buffer));
}

// A double as a 32-bit Windows long: truncated toward zero, saturated at the ends.
long SaturatedLong(double value) {
  if (!(value == value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return static_cast<long>(static_cast<LONG>(value));
}

void TraceUnhandledType(LPCTSTR file, int line) {
  TRACE("Warning: 未处理的 _variant_t 类型值; 文件: %s; 行: %d\n", file, line);
}
#define ADO2_UNHANDLED_TYPE() TraceUnhandledType(__FILE__, __LINE__)

// A whole signed integer in [low, high]; leading blanks allowed, nothing after the digits.
bool ParseSigned(const char* text, long long low, long long high, long long& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtoll(text, &end, 10);
  return end != text && *end == '\0' && errno == 0 && value >= low && value <= high;
}

bool ParseUnsigned(const char* text, unsigned long long high, unsigned long long& value) {
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  if (*p == '-') return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoull(text, &end, 10);
  return end != text && *end == '\0' && errno == 0 && value <= high;
}

bool ParseDouble(const char* text, double& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text, &end);
  return end != text && *end == '\0' && errno == 0 && std::isfinite(value);
}

// The decimal digits of an integer VARIANT, signed or unsigned, of any width.
CString IntegerText(const VARIANT& v) {
  CString text;
  if (kp::ClassOfType(v.vt) == kp::VarClass::Signed) {
    text.Format("%lld", static_cast<long long>(kp::SignedValue(v)));
  } else {
    text.Format("%llu", static_cast<unsigned long long>(kp::UnsignedValue(v)));
  }
  return text;
}

}  // namespace

_variant_t NullVariant() {
  return MakeVariant(VT_NULL, [](VARIANT&) {});
}

_variant_t IntegerVariant(long long value, bool small) {
  if (small && value >= INT16_MIN && value <= INT16_MAX) {
    return MakeVariant(VT_I2, [&](VARIANT& v) { v.iVal = static_cast<SHORT>(value); });
  }
  if (value >= INT32_MIN && value <= INT32_MAX) {
    return MakeVariant(VT_I4, [&](VARIANT& v) { v.lVal = static_cast<LONG>(value); });
  }
  return MakeVariant(VT_I8, [&](VARIANT& v) { v.llVal = value; });
}

_variant_t UnsignedVariant(unsigned long long value) {
  if (value <= UINT32_MAX)
    return MakeVariant(VT_UI4, [&](VARIANT& v) { v.ulVal = static_cast<ULONG>(value); });
  if (value <= static_cast<unsigned long long>(INT64_MAX)) {
    return MakeVariant(VT_I8, [&](VARIANT& v) { v.llVal = static_cast<LONGLONG>(value); });
  }
  return MakeVariant(VT_UI8, [&](VARIANT& v) { v.ullVal = value; });
}

_variant_t TextVariant(const CString& text) {
  if (text.IsEmpty()) return NullVariant();
  return _variant_t((LPCTSTR)text);
}

_variant_t DateVariant(const COleDateTime& time) {
  return MakeVariant(VT_DATE, [&](VARIANT& v) { v.date = time.m_dt; });
}

_variant_t BoolVariant(bool value) {
  return MakeVariant(VT_BOOL, [&](VARIANT& v) { v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE; });
}

_variant_t CurrencyVariant(const COleCurrency& value) {
  return MakeVariant(VT_CY, [&](VARIANT& v) { v.cyVal = value.m_cur; });
}

BOOL VariantToText(const _variant_t& vtValue, CString& strValue, LPCTSTR lpszDateFormat) {
  if (kp::IsIntegerClass(kp::ClassOfType(vtValue.vt))) {
    strValue = IntegerText(vtValue);
    return TRUE;
  }
  CString text;
  switch (vtValue.vt) {
    case VT_R4:
      text = Gcvt(vtValue.fltVal, 10);
      break;
    case VT_R8:
      text = Gcvt(vtValue.dblVal, 20);
      break;
    case VT_BSTR:
      text = ado2::BstrText(vtValue.bstrVal);
      break;
    case VT_DECIMAL:
      // The 20-digit rule of a floating value, applied to an exact value, is its own digits.
      text =
          vtValue.decVal.scale == 0 ? DecimalIntegerText(vtValue.decVal) : ado2::DecimalText(vtValue.decVal);
      break;
    case VT_DATE: {
      COleDateTime date(vtValue.date);
      CString format =
          (lpszDateFormat == nullptr || lpszDateFormat[0] == '\0') ? "%Y-%m-%d %H:%M:%S" : lpszDateFormat;
      text = date.Format((LPCTSTR)format);
      break;
    }
    case VT_BOOL:
      text = vtValue.boolVal == VARIANT_TRUE ? "T" : "F";
      break;
    case VT_EMPTY:
    case VT_NULL:
      break;
    default:
      strValue.Empty();  // a type without a text rule: empty text and FALSE
      return FALSE;
  }
  strValue = text;
  return TRUE;
}

CString VariantToDisplayText(const _variant_t& vtValue) {
  if (kp::IsIntegerClass(kp::ClassOfType(vtValue.vt))) return IntegerText(vtValue);
  CString text;
  switch (vtValue.vt) {
    case VT_EMPTY:
    case VT_NULL:
      break;
    case VT_HRESULT:
      text.Format("%d", vtValue.scode);
      break;
    case VT_R4:
      text.Format("%.4f", static_cast<double>(vtValue.fltVal));
      break;
    case VT_R8:
      text.Format("%.8f", vtValue.dblVal);
      break;
    case VT_CY:
      text = COleCurrency(vtValue.cyVal).Format();
      break;
    case VT_DATE:
      text = COleDateTime(vtValue.date).Format("%Y-%m-%d %H:%M:%S");
      break;
    case VT_BSTR:
      text = ado2::BstrText(vtValue.bstrVal);
      break;
    case VT_LPSTR:
      text = static_cast<LPCSTR>(vtValue.byref);
      break;
    case VT_LPWSTR:
      text = CString(static_cast<LPCWSTR>(vtValue.byref));
      break;
    case VT_BOOL:
      text = vtValue.boolVal == VARIANT_TRUE ? "TRUE" : "FALSE";
      break;
    case VT_DECIMAL:
      if (vtValue.decVal.scale == 0) {
        text = DecimalIntegerText(vtValue.decVal);
      } else {
        text.Format("%.4f", DecimalToDouble(vtValue.decVal));
      }
      break;
    case VT_ARRAY | VT_UI1:
      text = "Ole对象";
      break;
    case VT_BLOB:
    case VT_BLOB_OBJECT:
      text = "[BLOB]";
      break;
    case VT_BYREF:
      text.Format("%8llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(vtValue.byref)));
      break;
    default:
      text = "UN_KNOW";
      break;
  }
  return text;
}

BOOL VariantToInt(const _variant_t& var, int& value) {
  switch (var.vt) {
    case VT_EMPTY:
    case VT_NULL:
      value = 0;
      return TRUE;
    case VT_I2:
    case VT_BOOL:
      value = var.iVal;
      return TRUE;
    case VT_UI1:
      value = var.bVal;
      return TRUE;
    case VT_I4:
      value = var.lVal;
      return TRUE;
    case VT_INT:
      value = var.intVal;
      return TRUE;
    default:
      return FALSE;
  }
}

BOOL VariantToLong(const _variant_t& var, long& value) {
  switch (var.vt) {
    case VT_EMPTY:
    case VT_NULL:
      value = 0;
      return TRUE;
    case VT_I1:
      value = static_cast<signed char>(var.cVal);
      return TRUE;
    case VT_UI1:
      value = var.bVal;
      return TRUE;
    case VT_I2:
      value = var.iVal;
      return TRUE;
    case VT_UI2:
      value = var.uiVal;
      return TRUE;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
      value = var.lVal;  // the 32-bit payload, as a Windows long
      return TRUE;
    default:
      return FALSE;
  }
}

BOOL VariantToULong(const _variant_t& var, unsigned long& value) {
  long wide = 0;
  if (!VariantToLong(var, wide)) return FALSE;
  value = static_cast<ULONG>(static_cast<LONG>(wide));  // 32 bits, as a Windows unsigned long
  return TRUE;
}

BOOL VariantToDouble(const _variant_t& var, double& value) {
  switch (kp::ClassOfType(var.vt)) {
    case kp::VarClass::Signed:
      value = static_cast<double>(kp::SignedValue(var));
      return TRUE;
    case kp::VarClass::Unsigned:
      value = static_cast<double>(kp::UnsignedValue(var));
      return TRUE;
    default:
      break;
  }
  switch (var.vt) {
    case VT_EMPTY:
    case VT_NULL:
      value = 0;
      return TRUE;
    case VT_R4:
      value = var.fltVal;
      return TRUE;
    case VT_R8:
      value = var.dblVal;
      return TRUE;
    case VT_CY:
      value = static_cast<double>(var.cyVal.int64) / 10000.0;
      return TRUE;
    case VT_DECIMAL:
      value = DecimalToDouble(var.decVal);
      return TRUE;
    default:
      value = 0;
      return FALSE;
  }
}

BOOL VariantToBool(const _variant_t& var, bool& value) {
  if (var.vt == VT_EMPTY || var.vt == VT_NULL) {
    value = false;
    return TRUE;
  }
  if (var.vt != VT_BOOL) return FALSE;
  value = var.boolVal == VARIANT_TRUE;
  return TRUE;
}

BOOL VariantToDate(const _variant_t& var, COleDateTime& value) {
  if (var.vt == VT_EMPTY || var.vt == VT_NULL) {
    value.SetStatus(COleDateTime::null);
    return TRUE;
  }
  if (var.vt != VT_DATE) return FALSE;
  value = COleDateTime(var.date);
  return TRUE;
}

BOOL VariantToCurrency(const _variant_t& var, COleCurrency& value) {
  if (var.vt == VT_EMPTY || var.vt == VT_NULL) {
    value.SetStatus(COleCurrency::null);
    return TRUE;
  }
  if (var.vt != VT_CY) return FALSE;
  value = COleCurrency(var.cyVal);
  return TRUE;
}

bool vartobool(const _variant_t& var) {
  switch (var.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return false;
    case VT_BOOL:
      return var.boolVal != VARIANT_FALSE;
    default:
      ADO2_UNHANDLED_TYPE();
      return false;
  }
}

BYTE vartoby(const _variant_t& var) {
  switch (var.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return 0;
    case VT_I1:
    case VT_UI1:
      return var.bVal;
    default:
      ADO2_UNHANDLED_TYPE();
      return 0;
  }
}

short vartoi(const _variant_t& var) {
  switch (var.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return 0;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      return var.iVal;
    case VT_I1:
      return static_cast<signed char>(var.cVal);
    case VT_UI1:
      return var.bVal;
    default:
      ADO2_UNHANDLED_TYPE();
      return 0;
  }
}

long vartol(const _variant_t& var) {
  switch (var.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return 0;
    case VT_I2:
    case VT_BOOL:
      return var.iVal;
    case VT_UI2:
      return var.uiVal;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
      return var.lVal;
    case VT_I1:
      return static_cast<signed char>(var.cVal);
    case VT_UI1:
      return var.bVal;
    case VT_R4:
      return SaturatedLong(var.fltVal);
    case VT_R8:
      return SaturatedLong(var.dblVal);
    case VT_CY:
      return SaturatedLong(static_cast<double>(var.cyVal.int64 / 10000));
    case VT_DECIMAL:
      return SaturatedLong(DecimalToDouble(var.decVal));
    case VT_BSTR:
    case VT_LPSTR:
    case VT_LPWSTR: {
      CString text = var.vt == VT_BSTR    ? ado2::BstrText(var.bstrVal)
                     : var.vt == VT_LPSTR ? CString(static_cast<LPCSTR>(var.byref))
                                          : CString(static_cast<LPCWSTR>(var.byref));
      return SaturatedLong(static_cast<double>(std::atoll(text)));
    }
    default:
      ADO2_UNHANDLED_TYPE();
      return 0;
  }
}

double vartof(const _variant_t& var) {
  switch (var.vt) {
    case VT_BSTR:
    case VT_LPSTR:
    case VT_LPWSTR: {
      CString text = var.vt == VT_BSTR    ? ado2::BstrText(var.bstrVal)
                     : var.vt == VT_LPSTR ? CString(static_cast<LPCSTR>(var.byref))
                                          : CString(static_cast<LPCWSTR>(var.byref));
      return std::atof(text);
    }
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_INT: {
      double value = 0;
      VariantToDouble(var, value);
      return value;
    }
    case VT_BOOL:
      return var.boolVal;
    default:
      ADO2_UNHANDLED_TYPE();
      return 0;
  }
}

COleDateTime vartodate(const _variant_t& var) {
  COleDateTime value;
  if (!VariantToDate(var, value)) {
    ADO2_UNHANDLED_TYPE();
    value.SetStatus(COleDateTime::null);
  }
  return value;
}

COleCurrency vartocy(const _variant_t& var) {
  COleCurrency value;
  if (!VariantToCurrency(var, value)) {
    ADO2_UNHANDLED_TYPE();
    value.SetStatus(COleCurrency::null);
  }
  return value;
}

VARTYPE TextTargetType(int adoType) {
  switch (adoType) {
    case adTinyInt:
      return VT_I1;
    case adSmallInt:
      return VT_I2;
    case adInteger:
      return VT_I4;
    case adBigInt:
      return VT_I8;
    case adUnsignedTinyInt:
      return VT_UI1;
    case adUnsignedSmallInt:
      return VT_UI2;
    case adUnsignedInt:
      return VT_UI4;
    case adUnsignedBigInt:
      return VT_UI8;
    case adSingle:
      return VT_R4;
    case adDouble:
      return VT_R8;
    case adCurrency:
      return VT_CY;
    case adDecimal:
    case adNumeric:
    case adVarNumeric:
      return VT_DECIMAL;
    case adBoolean:
      return VT_BOOL;
    case adBSTR:
    case adChar:
    case adVarChar:
    case adLongVarChar:
    case adWChar:
    case adVarWChar:
    case adLongVarWChar:
      return VT_BSTR;
    case adDate:
    case adDBDate:
    case adDBTime:
    case adDBTimeStamp:
      return VT_DATE;
    default:
      return VT_EMPTY;  // binary, GUID and types without a text form are refused
  }
}

bool ParseFieldText(VARTYPE vt, const CString& text, _variant_t& out) {
  long long s = 0;
  unsigned long long u = 0;
  double d = 0;
  switch (vt) {
    case VT_I1:
      if (!ParseSigned(text, INT8_MIN, INT8_MAX, s)) return false;
      out = MakeVariant(VT_I1, [&](VARIANT& v) { v.cVal = static_cast<CHAR>(s); });
      return true;
    case VT_I2:
      if (!ParseSigned(text, INT16_MIN, INT16_MAX, s)) return false;
      out = MakeVariant(VT_I2, [&](VARIANT& v) { v.iVal = static_cast<SHORT>(s); });
      return true;
    case VT_I4:
      if (!ParseSigned(text, INT32_MIN, INT32_MAX, s)) return false;
      out = MakeVariant(VT_I4, [&](VARIANT& v) { v.lVal = static_cast<LONG>(s); });
      return true;
    case VT_I8:
      if (!ParseSigned(text, INT64_MIN, INT64_MAX, s)) return false;
      out = MakeVariant(VT_I8, [&](VARIANT& v) { v.llVal = s; });
      return true;
    case VT_UI1:
      if (!ParseUnsigned(text, UINT8_MAX, u)) return false;
      out = MakeVariant(VT_UI1, [&](VARIANT& v) { v.bVal = static_cast<BYTE>(u); });
      return true;
    case VT_UI2:
      if (!ParseUnsigned(text, UINT16_MAX, u)) return false;
      out = MakeVariant(VT_UI2, [&](VARIANT& v) { v.uiVal = static_cast<USHORT>(u); });
      return true;
    case VT_UI4:
      if (!ParseUnsigned(text, UINT32_MAX, u)) return false;
      out = MakeVariant(VT_UI4, [&](VARIANT& v) { v.ulVal = static_cast<ULONG>(u); });
      return true;
    case VT_UI8:
      if (!ParseUnsigned(text, UINT64_MAX, u)) return false;
      out = MakeVariant(VT_UI8, [&](VARIANT& v) { v.ullVal = u; });
      return true;
    case VT_R4:
      if (!ParseDouble(text, d) || std::fabs(d) > 3.4028234663852886e38) return false;
      out = MakeVariant(VT_R4, [&](VARIANT& v) { v.fltVal = static_cast<float>(d); });
      return true;
    case VT_R8:
      if (!ParseDouble(text, d)) return false;
      out = MakeVariant(VT_R8, [&](VARIANT& v) { v.dblVal = d; });
      return true;
    case VT_DECIMAL: {
      if (!ParseDouble(text, d)) return false;
      _variant_t r8 = MakeVariant(VT_R8, [&](VARIANT& v) { v.dblVal = d; });
      VARIANT dec;
      VariantInit(&dec);
      if (FAILED(VariantChangeType(&dec, &r8, 0, VT_DECIMAL))) return false;
      out = _variant_t(dec);
      return true;
    }
    case VT_CY: {
      COleCurrency cy;
      if (!cy.ParseCurrency(text) || cy.GetStatus() != COleCurrency::valid) return false;
      out = CurrencyVariant(cy);
      return true;
    }
    case VT_DATE: {
      COleDateTime date;
      if (!date.ParseDateTime(text) || date.GetStatus() != COleDateTime::valid) return false;
      out = DateVariant(date);
      return true;
    }
    case VT_BOOL:
      if (text.CompareNoCase("TRUE") == 0) {
        out = BoolVariant(true);
      } else if (text.CompareNoCase("FALSE") == 0) {
        out = BoolVariant(false);
      } else {
        if (!ParseSigned(text, INT32_MIN, INT32_MAX, s)) return false;
        out = BoolVariant(s != 0);
      }
      return true;
    case VT_BSTR:
      out = _variant_t((LPCTSTR)text);
      return true;
    default:
      return false;
  }
}

}  // namespace ado2
