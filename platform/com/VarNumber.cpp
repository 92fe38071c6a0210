// Numbers for the VARIANT conversions: reading text, reading any numeric VARIANT into the
// common Number form, storing a Number as any numeric type with the documented range checks
// and round-half-to-even, and writing numbers as text. See VarConvert.h.
//
// Documented behaviour followed: values out of the target's range answer DISP_E_OVERFLOW;
// floating values and decimals round half to even when they become integers or currency;
// VARIANT_BOOL is -1/0; DECIMAL from R8 keeps 15 significant digits (7 from R4).
#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "VarConvert.h"
#include "kp/kpvariant.h"

namespace kp::com {
namespace {

using u128 = unsigned __int128;
using i128 = __int128;

constexpr int kMaxDecimalScale = 28;
constexpr int kMaxExactDigits = 38;

u128 Pow10(int n) {
  u128 p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

const u128 kDecimalLimit = (u128(1) << 96);  // DECIMAL magnitudes are below 2^96

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0x3000;
}

std::u16string Widen(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}

// Divides by 10^shift, rounding half to even.
u128 DivRound(u128 m, int shift) {
  if (shift <= 0) return m;
  if (shift > kMaxExactDigits) return 0;
  const u128 p = Pow10(shift);
  u128 q = m / p;
  const u128 r = m % p;
  if (r * 2 > p || (r * 2 == p && (q & 1))) ++q;
  return q;
}

// The integer value of n (round half to even), or false when it cannot be an integer.
bool IntegerOf(const Number& n, i128* out) {
  if (n.exact) {
    const u128 q = DivRound(n.magnitude, n.scale);
    if (q > (u128(1) << 120)) return false;
    *out = n.negative ? -i128(q) : i128(q);
    return true;
  }
  if (std::isnan(n.approx)) return false;
  const double r = std::nearbyint(n.approx);  // the default rounding mode: half to even
  if (r < -1.9e19 || r > 1.9e19) return false;
  *out = static_cast<i128>(r);
  return true;
}

// Exact decimal with scale <= 28 and magnitude < 2^96, as DECIMAL holds it.
bool NormaliseDecimal(Number n, Number* out) {
  if (!n.exact) {
    if (std::isnan(n.approx) || std::fabs(n.approx) >= 7.9228162514264338e28) return false;
    char text[64];
    std::snprintf(text, sizeof text, n.single ? "%.6E" : "%.14E", n.approx);
    std::u16string w = Widen(text);
    Number parsed;
    if (FAILED(ParseNumber(w.data(), w.size(), &parsed)) || !parsed.exact) return false;
    n = parsed;
  }
  if (n.scale > kMaxDecimalScale) {
    n.magnitude = DivRound(n.magnitude, n.scale - kMaxDecimalScale);
    n.scale = kMaxDecimalScale;
  }
  while (n.magnitude >= kDecimalLimit && n.scale > 0) {
    n.magnitude = DivRound(n.magnitude, 1);
    --n.scale;
  }
  if (n.magnitude >= kDecimalLimit) return false;
  // Trailing zeros of the fraction carry no value; keep the shortest form.
  while (n.scale > 0 && n.magnitude % 10 == 0) {
    n.magnitude /= 10;
    --n.scale;
  }
  *out = n;
  return true;
}

template <class T>
HRESULT StoreInteger(const Number& n, i128 min, i128 max, T* slot) {
  i128 v;
  if (!IntegerOf(n, &v) || v < min || v > max) return DISP_E_OVERFLOW;
  *slot = static_cast<T>(v);
  return S_OK;
}

}  // namespace

HRESULT ParseNumber(const OLECHAR* text, size_t length, Number* out) {
  size_t i = 0;
  while (i < length && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < length && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  std::string ascii = negative ? "-" : "";
  u128 magnitude = 0;
  int digits = 0;   // significant digits kept in magnitude
  int scale = 0;    // digits after the point kept in magnitude
  int dropped = 0;  // integer digits beyond the exact precision
  bool exact = true, sawDigit = false, sawPoint = false;
  for (; i < length; ++i) {
    const char16_t c = text[i];
    if (c >= u'0' && c <= u'9') {
      sawDigit = true;
      ascii.push_back(char(c));
      if (digits < kMaxExactDigits) {
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude) ++digits;
        if (sawPoint) ++scale;
      } else {
        if (c != u'0') exact = false;
        if (!sawPoint) ++dropped;
      }
    } else if (c == u',' && !sawPoint && sawDigit && i + 1 < length && text[i + 1] >= u'0' &&
               text[i + 1] <= u'9') {
      continue;  // thousands separator
    } else if (c == u'.' && !sawPoint) {
      sawPoint = true;
      ascii.push_back('.');
    } else {
      break;
    }
  }
  if (!sawDigit) return DISP_E_TYPEMISMATCH;
  long exponent = 0;
  if (i < length && (text[i] == u'e' || text[i] == u'E')) {
    size_t j = i + 1;
    bool expNegative = false;
    if (j < length && (text[j] == u'+' || text[j] == u'-')) expNegative = text[j++] == u'-';
    if (j >= length || text[j] < u'0' || text[j] > u'9') return DISP_E_TYPEMISMATCH;
    for (; j < length && text[j] >= u'0' && text[j] <= u'9'; ++j) {
      if (exponent < 100000) exponent = exponent * 10 + (text[j] - u'0');
    }
    if (expNegative) exponent = -exponent;
    i = j;
  }
  while (i < length && IsBlank(text[i])) ++i;
  if (i != length) return DISP_E_TYPEMISMATCH;

  ascii += "e" + std::to_string(exponent);
  Number n;
  n.negative = negative;
  n.approx = std::strtod(ascii.c_str(), nullptr);
  long effectiveScale = scale - dropped - exponent;
  while (exact && effectiveScale < 0) {
    if (magnitude > Pow10(kMaxExactDigits - 1)) exact = false;
    magnitude *= 10;
    ++effectiveScale;
  }
  while (exact && effectiveScale > kMaxDecimalScale && magnitude % 10 == 0 && magnitude) {
    magnitude /= 10;
    --effectiveScale;
  }
  if (magnitude == 0) effectiveScale = 0;
  if (effectiveScale > kMaxDecimalScale) exact = false;
  n.exact = exact;
  n.magnitude = exact ? magnitude : 0;
  n.scale = exact ? int(effectiveScale) : 0;
  *out = n;
  return S_OK;
}

HRESULT ToNumber(const VARIANT& v, Number* out) {
  Number n;
  auto setSigned = [&](LONGLONG x) {
    n.negative = x < 0;
    n.magnitude = x < 0 ? u128(-(i128)x) : u128(x);
    n.approx = double(x);
  };
  auto setUnsigned = [&](ULONGLONG x) {
    n.magnitude = x;
    n.approx = double(x);
  };
  auto setFloat = [&](double d) {
    n.exact = false;
    n.approx = d;
  };
  switch (v.vt) {
    case VT_EMPTY:
      break;
    case VT_I1:
      setSigned(static_cast<signed char>(v.cVal));
      break;
    case VT_UI1:
      setUnsigned(v.bVal);
      break;
    case VT_I2:
      setSigned(v.iVal);
      break;
    case VT_UI2:
      setUnsigned(v.uiVal);
      break;
    case VT_I4:
    case VT_INT:
      setSigned(v.lVal);
      break;
    case VT_UI4:
    case VT_UINT:
      setUnsigned(v.ulVal);
      break;
    case VT_I8:
      setSigned(v.llVal);
      break;
    case VT_UI8:
      setUnsigned(v.ullVal);
      break;
    case VT_BOOL:
      setSigned(v.boolVal ? -1 : 0);
      break;
    case VT_R4:
      setFloat(v.fltVal);
      n.single = true;
      break;
    case VT_R8:
    case VT_DATE:
      setFloat(v.dblVal);
      break;
    case VT_CY:
      setSigned(v.cyVal.int64);
      n.scale = 4;
      n.approx = double(v.cyVal.int64) / 10000.0;
      break;
    case VT_DECIMAL: {
      const DECIMAL& d = v.decVal;
      if (d.scale > kMaxDecimalScale) return E_INVALIDARG;
      n.negative = (d.sign & DECIMAL_NEG) != 0;
      n.magnitude = (u128(d.Hi32) << 64) | d.Lo64;
      n.scale = d.scale;
      std::string text =
          (n.negative ? "-" : "") + kp::MagnitudeDigits(n.magnitude) + "e-" + std::to_string(d.scale);
      n.approx = std::strtod(text.c_str(), nullptr);
      break;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
  *out = n;
  return S_OK;
}

HRESULT FromNumber(const Number& n, VARTYPE vt, VARIANT* out) {
  constexpr i128 kI64Min = -i128(0x7FFFFFFFFFFFFFFF) - 1;
  HRESULT hr = S_OK;
  switch (vt) {
    case VT_I1:
      hr = StoreInteger(n, -128, 127, &out->cVal);
      break;
    case VT_UI1:
      hr = StoreInteger(n, 0, 255, &out->bVal);
      break;
    case VT_I2:
      hr = StoreInteger(n, -32768, 32767, &out->iVal);
      break;
    case VT_UI2:
      hr = StoreInteger(n, 0, 65535, &out->uiVal);
      break;
    case VT_I4:
    case VT_INT:
      hr = StoreInteger(n, INT32_MIN, INT32_MAX, &out->lVal);
      break;
    case VT_UI4:
    case VT_UINT:
      hr = StoreInteger(n, 0, UINT32_MAX, &out->ulVal);
      break;
    case VT_I8:
      hr = StoreInteger(n, kI64Min, INT64_MAX, &out->llVal);
      break;
    case VT_UI8:
      hr = StoreInteger(n, 0, UINT64_MAX, &out->ullVal);
      break;
    case VT_R4:
      if (std::isfinite(n.approx) && std::fabs(n.approx) > FLT_MAX) return DISP_E_OVERFLOW;
      out->fltVal = static_cast<float>(n.approx);
      break;
    case VT_R8:
      out->dblVal = n.approx;
      break;
    case VT_DATE:
      if (!(n.approx > kMinDate - 1.0 && n.approx < kMaxDateExclusive)) return DISP_E_OVERFLOW;
      out->date = n.approx;
      break;
    case VT_BOOL:
      out->boolVal = (n.exact ? n.magnitude != 0 : n.approx != 0) ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case VT_CY: {
      Number scaled = n;
      if (n.exact && n.scale < 4 && n.magnitude > Pow10(kMaxExactDigits - 4)) return DISP_E_OVERFLOW;
      if (n.exact) {
        scaled.magnitude =
            n.scale <= 4 ? n.magnitude * Pow10(4 - n.scale) : DivRound(n.magnitude, n.scale - 4);
        scaled.scale = 0;
      } else {
        scaled.approx = n.approx * 10000.0;
      }
      hr = StoreInteger(scaled, kI64Min, INT64_MAX, &out->cyVal.int64);
      break;
    }
    case VT_DECIMAL: {
      Number d;
      if (!NormaliseDecimal(n, &d)) return DISP_E_OVERFLOW;
      DECIMAL dec;
      dec.wReserved = 0;
      dec.scale = static_cast<BYTE>(d.scale);
      dec.sign = (d.negative && d.magnitude) ? DECIMAL_NEG : 0;
      dec.Hi32 = static_cast<ULONG>(d.magnitude >> 64);
      dec.Lo64 = static_cast<ULONGLONG>(d.magnitude);
      out->decVal = dec;
      break;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
  if (FAILED(hr)) return hr;
  out->vt = vt;
  return S_OK;
}

namespace {
// printf's "%.<digits>G": std::to_chars with the general format and a precision is defined to
// print what "%.<digits>g" prints, without the locale and several times faster; upper case
// gives the 'E' of the exponent and "INF"/"NAN".
std::u16string FormatGeneral(double value, int digits) {
  if (value == 0) return u"0";
  char text[64];
  char* end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, digits).ptr;
  std::u16string out(text, end);
  for (char16_t& c : out)
    if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
  return out;
}
}  // namespace

std::u16string FormatR8(double value) {
  return FormatGeneral(value, 15);
}

std::u16string FormatR4(float value) {
  return FormatGeneral(static_cast<double>(value), 7);
}

std::u16string FormatCy(LONGLONG value) {
  const bool negative = value < 0;
  return Widen(kp::DecimalText(negative ? u128(-(i128)value) : u128(value), negative, 4, kp::DecimalDigits::Trimmed));
}

std::u16string FormatDec(const DECIMAL& value) {
  return Widen(kp::DecimalText(value, kp::DecimalDigits::Trimmed));
}

}  // namespace kp::com
