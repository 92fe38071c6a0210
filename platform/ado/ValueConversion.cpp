// Cell <-> VARIANT conversions (see ValueConversion.h).
#include "ValueConversion.h"

#include <msado15.tlh>
#include <oleauto.h>

#include <cmath>
#include <cstring>

#include "AdoText.h"
#include "DateText.h"
#include "UtilErrors.h"
#include "kp/kpvariant.h"

namespace kp::ado {
namespace {

using u128 = unsigned __int128;
constexpr u128 kMaxDecimal = (((u128)0xFFFFFFFFu) << 64) | 0xFFFFFFFFFFFFFFFFull;

std::u16string IntText(int64_t v) {
  char buf[32];
  snprintf(buf, sizeof buf, "%lld", (long long)v);
  return Ascii(buf);
}

std::u16string RealText(double v) {
  char buf[40];
  snprintf(buf, sizeof buf, "%.15g", v);
  std::u16string s = Ascii(buf);
  // SQLite writes a REAL with a decimal point ("12.0").
  if (s.find_first_of(u".eEni") == std::u16string::npos) s += u".0";
  return s;
}

bool ParseInt(std::u16string_view t, int64_t& out) {
  t = std::u16string_view(t);
  while (!t.empty() && t.front() == u' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == u' ') t.remove_suffix(1);
  if (t.empty()) return false;
  bool neg = false;
  size_t i = 0;
  if (t[0] == u'-' || t[0] == u'+') neg = t[i++] == u'-';
  if (i == t.size()) return false;
  u128 v = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < u'0' || t[i] > u'9') return false;
    v = v * 10 + (t[i] - u'0');
    if (v > ((u128)1 << 63)) return false;
  }
  if (!neg && v > (u128)INT64_MAX) return false;
  out = neg ? (int64_t)(0 - (uint64_t)v) : (int64_t)v;
  return true;
}

bool ParseReal(std::u16string_view t, double& out) {
  std::string s = ToUtf8(t);
  if (s.empty()) return false;
  char* end = nullptr;
  out = strtod(s.c_str(), &end);
  while (end && *end == ' ') ++end;
  return end && *end == 0 && end != s.c_str();
}

std::u16string_view CellView(const Cell& c) {
  return std::u16string_view(c.text(), c.size);
}

HRESULT SetBstr(VARIANT* out, std::u16string_view text) {
  out->bstrVal = AllocBstr(text);
  if (!out->bstrVal) return E_OUTOFMEMORY;
  out->vt = VT_BSTR;
  return S_OK;
}

void SetInt(VARIANT* out, int64_t v) {
  if (v >= INT32_MIN && v <= INT32_MAX) {
    out->vt = VT_I4;
    out->lVal = (LONG)v;
  } else {
    out->vt = VT_I8;
    out->llVal = v;
  }
}

bool IsIntegerType(VARTYPE vt) {
  return kp::IsIntegerClass(kp::ClassOfType(vt));
}

// The integer value of a cell for an integer field; false when it is not an integer.
bool CellInteger(const Cell& c, int64_t& v) {
  if (c.kind == CellKind::Int) {
    v = c.i;
    return true;
  }
  if (c.kind == CellKind::Real && std::floor(c.d) == c.d && std::fabs(c.d) < 9.2e18) {
    v = (int64_t)c.d;
    return true;
  }
  if (c.kind == CellKind::Text) return ParseInt(CellView(c), v);
  return false;
}

}  // namespace

HRESULT ValueConversion::MakeByteArray(const void* data, size_t bytes, VARIANT* out) {
  SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, (ULONG)bytes);
  if (!sa) return E_OUTOFMEMORY;
  if (bytes) {
    void* p = nullptr;
    SafeArrayAccessData(sa, &p);
    std::memcpy(p, data, bytes);
    SafeArrayUnaccessData(sa);
  }
  out->vt = VT_ARRAY | VT_UI1;
  out->parray = sa;
  return S_OK;
}

HRESULT ValueConversion::NaturalVariant(const Cell& c, VARIANT* out) {
  VariantInit(out);
  switch (c.kind) {
    case CellKind::Null:
      out->vt = VT_NULL;
      return S_OK;
    case CellKind::Int:
      SetInt(out, c.i);
      return S_OK;
    case CellKind::Real:
      out->vt = VT_R8;
      out->dblVal = c.d;
      return S_OK;
    case CellKind::Text:
      return SetBstr(out, CellView(c));
    case CellKind::Blob:
      return MakeByteArray(c.p, c.size, out);
  }
  return E_UNEXPECTED;
}

HRESULT ValueConversion::CellToVariant(const ColumnInfo& col, const Cell& c, VARIANT* out) {
  VariantInit(out);
  if (c.kind == CellKind::Null) {
    out->vt = VT_NULL;
    return S_OK;
  }
  int64_t iv = 0;
  switch (col.vt) {
    case VT_BSTR:
      if (c.kind == CellKind::Text) return SetBstr(out, CellView(c));
      if (c.kind == CellKind::Int) return SetBstr(out, IntText(c.i));
      if (c.kind == CellKind::Real) return SetBstr(out, RealText(c.d));
      return SetBstr(out, FromUtf8(std::string_view(static_cast<const char*>(c.p), c.size)));
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_I8:
    case VT_UI8: {
      if (!CellInteger(c, iv)) break;
      bool fits = false;
      switch (col.vt) {
        case VT_I1:
          fits = iv >= -128 && iv <= 127;
          out->cVal = (CHAR)iv;
          break;
        case VT_UI1:
          fits = iv >= 0 && iv <= 255;
          out->bVal = (BYTE)iv;
          break;
        case VT_I2:
          fits = iv >= -32768 && iv <= 32767;
          out->iVal = (SHORT)iv;
          break;
        case VT_UI2:
          fits = iv >= 0 && iv <= 65535;
          out->uiVal = (USHORT)iv;
          break;
        case VT_I4:
          fits = iv >= INT32_MIN && iv <= INT32_MAX;
          out->lVal = (LONG)iv;
          break;
        case VT_UI4:
          fits = iv >= 0 && iv <= (int64_t)UINT32_MAX;
          out->ulVal = (ULONG)iv;
          break;
        case VT_I8:
          fits = true;
          out->llVal = iv;
          break;
        case VT_UI8:
          fits = iv >= 0;
          out->ullVal = (ULONGLONG)iv;
          break;
      }
      if (fits) {
        out->vt = col.vt;
      } else {
        out->vt = VT_I8;  // never cut a stored value to the field's width
        out->llVal = iv;
      }
      return S_OK;
    }
    case VT_R8:
    case VT_R4: {
      double d;
      if (c.kind == CellKind::Int) {
        d = (double)c.i;
      } else if (c.kind == CellKind::Real) {
        d = c.d;
      } else if (c.kind != CellKind::Text || !ParseReal(CellView(c), d)) {
        break;
      }
      if (col.vt == VT_R4) {
        out->vt = VT_R4;
        out->fltVal = (float)d;
      } else {
        out->vt = VT_R8;
        out->dblVal = d;
      }
      return S_OK;
    }
    case VT_CY: {
      int64_t units;
      if (c.kind == CellKind::Int) {
        if (c.i > INT64_MAX / 10000 || c.i < INT64_MIN / 10000) break;
        units = c.i * 10000;
      } else if (c.kind == CellKind::Real) {
        if (!ParseCurrency(RealText(c.d), units)) break;
      } else if (c.kind != CellKind::Text || !ParseCurrency(CellView(c), units)) {
        break;
      }
      out->vt = VT_CY;
      out->cyVal.int64 = units;
      return S_OK;
    }
    case VT_DECIMAL: {
      DECIMAL dec;
      if (c.kind == CellKind::Int) {
        std::memset(&dec, 0, sizeof dec);
        dec.sign = c.i < 0 ? DECIMAL_NEG : 0;
        dec.Lo64 = c.i < 0 ? (uint64_t)0 - (uint64_t)c.i : (uint64_t)c.i;
      } else if (c.kind == CellKind::Real) {
        if (!ParseDecimal(RealText(c.d), dec)) break;
      } else if (c.kind != CellKind::Text || !ParseDecimal(CellView(c), dec)) {
        break;
      }
      out->decVal = dec;
      out->vt = VT_DECIMAL;  // after the value: DECIMAL overlays vt with wReserved
      return S_OK;
    }
    case VT_BOOL: {
      bool b;
      if (c.kind == CellKind::Int) {
        b = c.i != 0;
      } else if (c.kind == CellKind::Real) {
        b = c.d != 0;
      } else if (c.kind == CellKind::Text &&
                 (EqualsAsciiNoCase(CellView(c), u"true") || EqualsAsciiNoCase(CellView(c), u"false"))) {
        b = EqualsAsciiNoCase(CellView(c), u"true");
      } else if (c.kind == CellKind::Text && ParseInt(CellView(c), iv)) {
        b = iv != 0;
      } else {
        break;
      }
      out->vt = VT_BOOL;
      out->boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    }
    case VT_DATE: {
      DATE d;
      if (c.kind == CellKind::Text) {
        if (!ParseDateText(CellView(c), d)) break;
      } else if (c.kind == CellKind::Real) {
        d = c.d - 2415018.5;  // Julian day number -> days since 1899-12-30
      } else if (c.kind == CellKind::Int) {
        d = 25569.0 + (double)c.i / 86400.0;  // Unix seconds
      } else {
        break;
      }
      out->vt = VT_DATE;
      out->date = d;
      return S_OK;
    }
    default:
      if (col.vt == (VT_ARRAY | VT_UI1)) {
        if (c.kind == CellKind::Blob) return MakeByteArray(c.p, c.size, out);
        if (c.kind == CellKind::Text) {
          std::string bytes = ToUtf8(CellView(c));
          return MakeByteArray(bytes.data(), bytes.size(), out);
        }
      }
      break;
  }
  return NaturalVariant(c, out);
}

HRESULT ValueConversion::VariantToCell(const VARIANT& in, const ColumnInfo* col, Arena& arena, Cell& out) {
  const VARIANT* v = &in;
  while (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
  VARIANT coerced;
  VariantInit(&coerced);
  VARTYPE base = v->vt & ~VT_BYREF;
  if (v->vt & VT_BYREF) {
    if (FAILED(VariantCopyInd(&coerced, v))) return AdoErr(adErrDataConversion);
    v = &coerced;
    base = v->vt;
  }
  // Integers go in as they are: SQLite keeps 64 bits in any integer column, and a value read as
  // VT_I8 from an adInteger field must be writable back unchanged.
  bool integers = col && IsIntegerType(base) && IsIntegerType(col->vt);
  if (col && !integers && base != VT_EMPTY && base != VT_NULL && base != col->vt &&
      !(base == VT_BSTR && col->IsBinary())) {
    VARIANT tmp;
    VariantInit(&tmp);
    if (FAILED(VariantChangeType(&tmp, v, 0, col->vt))) {
      VariantClear(&coerced);
      return AdoErr(adErrDataConversion);
    }
    VariantClear(&coerced);
    coerced = tmp;
    v = &coerced;
  }
  HRESULT hr = S_OK;
  out = Cell();
  switch (v->vt) {
    case VT_EMPTY:
    case VT_NULL:
      break;
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_INT:
    case VT_I8:
      out = Cell::Int(kp::SignedValue(*v));
      break;
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UINT:
    case VT_UI8: {
      const uint64_t u = kp::UnsignedValue(*v);
      out = u > (uint64_t)INT64_MAX ? Cell::Real((double)u) : Cell::Int((int64_t)u);
      break;
    }
    case VT_BOOL:
      out = Cell::Int(v->boolVal ? 1 : 0);
      break;
    case VT_R4:
      out = Cell::Real(v->fltVal);
      break;
    case VT_R8:
      out = Cell::Real(v->dblVal);
      break;
    case VT_CY:
      if (v->cyVal.int64 % 10000 == 0) {
        out = Cell::Int(v->cyVal.int64 / 10000);
      } else {
        std::u16string t = FormatCurrency(v->cyVal.int64);
        out = arena.Text(t.data(), t.size());
      }
      break;
    case VT_DECIMAL: {
      const DECIMAL& d = v->decVal;
      if (d.scale == 0 && d.Hi32 == 0 && d.Lo64 <= (ULONGLONG)INT64_MAX) {
        out = Cell::Int(d.sign ? -(int64_t)d.Lo64 : (int64_t)d.Lo64);
      } else {
        std::u16string t = FormatDecimal(d);
        out = arena.Text(t.data(), t.size());
      }
      break;
    }
    case VT_DATE: {
      char form = 'S';
      if (col && col->type == adDBDate) form = 'D';
      if (col && col->type == adDBTime) form = 'T';
      std::u16string t = FormatDateText(v->date, form);
      if (t.empty()) {
        hr = AdoErr(adErrDataConversion);
        break;
      }
      out = arena.Text(t.data(), t.size());
      break;
    }
    case VT_BSTR: {
      std::u16string_view t = BstrView(v->bstrVal);
      if (col && col->IsBinary()) {
        std::string bytes = ToUtf8(t);
        out = arena.Blob(bytes.data(), bytes.size());
      } else {
        out = arena.Text(t.data(), t.size());
      }
      break;
    }
    default:
      if (v->vt == (VT_ARRAY | VT_UI1) && v->parray) {
        void* p = nullptr;
        LONG lo = 0, hi = -1;
        SafeArrayGetLBound(v->parray, 1, &lo);
        SafeArrayGetUBound(v->parray, 1, &hi);
        SafeArrayAccessData(v->parray, &p);
        out = arena.Blob(p, (size_t)(hi - lo + 1));
        SafeArrayUnaccessData(v->parray);
      } else {
        hr = DISP_E_TYPEMISMATCH;
      }
      break;
  }
  VariantClear(&coerced);
  return hr;
}

bool ValueConversion::ParseDecimal(std::u16string_view t, DECIMAL& out) {
  while (!t.empty() && t.front() == u' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == u' ') t.remove_suffix(1);
  size_t i = 0;
  bool neg = false;
  if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) neg = t[i++] == u'-';
  u128 mant = 0;
  int scale = 0, digits = 0;
  bool point = false, any = false;
  for (; i < t.size(); ++i) {
    char16_t c = t[i];
    if (c == u'.' && !point) {
      point = true;
      continue;
    }
    if (c < u'0' || c > u'9') break;
    any = true;
    if (mant == 0 && c == u'0' && !point) continue;
    if (digits >= 29 || mant * 10 + (c - u'0') > kMaxDecimal) {
      if (!point) return false;  // integer part too large
      continue;                  // drop digits beyond the precision
    }
    mant = mant * 10 + (c - u'0');
    if (mant) ++digits;
    if (point) ++scale;
  }
  if (!any) return false;
  int exp = 0;
  if (i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
    int64_t e;
    if (!ParseInt(t.substr(i + 1), e) || e < -60 || e > 60) return false;
    exp = (int)e;
    i = t.size();
  }
  if (i != t.size()) return false;
  scale -= exp;
  while (scale < 0) {
    if (mant * 10 > kMaxDecimal) return false;
    mant *= 10;
    ++scale;
  }
  while (scale > 28) {
    mant = (mant + 5) / 10;
    --scale;
  }
  std::memset(&out, 0, sizeof out);
  out.scale = (BYTE)scale;
  out.sign = neg && mant ? DECIMAL_NEG : 0;
  out.Hi32 = (ULONG)(mant >> 64);
  out.Lo64 = (ULONGLONG)mant;
  return true;
}

std::u16string ValueConversion::FormatDecimal(const DECIMAL& d) {
  return Ascii(kp::DecimalText(d, kp::DecimalDigits::All).c_str());
}

bool ValueConversion::ParseCurrency(std::u16string_view text, int64_t& out) {
  DECIMAL d;
  if (!ParseDecimal(text, d)) return false;
  u128 mant = ((u128)d.Hi32 << 64) | d.Lo64;
  int scale = d.scale;
  while (scale < 4) {
    mant *= 10;
    ++scale;
    if (mant > ((u128)1 << 64)) return false;
  }
  while (scale > 4) {
    mant = scale == 5 ? (mant + 5) / 10 : mant / 10;
    --scale;
  }
  if (d.sign) {
    if (mant > ((u128)1 << 63)) return false;
    out = (int64_t)(0 - (uint64_t)mant);
  } else {
    if (mant > (u128)INT64_MAX) return false;
    out = (int64_t)mant;
  }
  return true;
}

std::u16string ValueConversion::FormatCurrency(int64_t units) {
  DECIMAL d;
  std::memset(&d, 0, sizeof d);
  d.sign = units < 0 ? DECIMAL_NEG : 0;
  d.Lo64 = units < 0 ? (uint64_t)0 - (uint64_t)units : (uint64_t)units;
  d.scale = 4;
  std::u16string s = FormatDecimal(d);
  while (!s.empty() && s.back() == u'0') s.pop_back();
  if (!s.empty() && s.back() == u'.') s.pop_back();
  return s;
}

bool ValueConversion::ParseDateText(std::u16string_view text, DATE& out) {
  std::u16string t(text);
  while (!t.empty() && t.back() == u' ') t.pop_back();
  if (t.size() > 10 && t[10] == u' ') t[10] = u'T';
  return DateText::ParseIso(t, out);
}

std::u16string ValueConversion::FormatDateText(DATE value, char form) {
  DateParts p;
  if (!DateText::FromDate(value, p)) return std::u16string();
  char buf[40];
  if (form == 'D') {
    snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.year, p.month, p.day);
  } else if (form == 'T') {
    snprintf(buf, sizeof buf, "%02d:%02d:%02d", p.hour, p.minute, p.second);
  } else {
    snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
             p.second);
  }
  return Ascii(buf);
}

}  // namespace kp::ado
