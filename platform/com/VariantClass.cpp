// The classification of VARIANT types, the integer accessors and the decimal text routine that
// the platform publishes in kp/kpvariant.h.
//
// Digits of a magnitude come from 64-bit halves split at 10^19 (two 128-bit divisions in all,
// not one per digit): decimal columns are read once per row of a recordset walk.
#include <charconv>
#include <cstring>

#include "kp/kpvariant.h"

namespace kp {
namespace {

using u128 = unsigned __int128;
constexpr uint64_t kTenTo19 = 10000000000000000000ULL;

// The digits of a value below 10^38 written into text, which has room for 39; the end.
char* WriteDigits(u128 magnitude, char* text, char* limit) {
  if (magnitude <= UINT64_MAX) return std::to_chars(text, limit, (uint64_t)magnitude).ptr;
  char* end = WriteDigits(magnitude / kTenTo19, text, limit);
  char low[20];
  char* lowEnd = std::to_chars(low, low + sizeof low, (uint64_t)(magnitude % kTenTo19)).ptr;
  const size_t length = (size_t)(lowEnd - low);
  std::memset(end, '0', 19 - length);  // the low part always fills 19 places
  end += 19 - length;
  std::memcpy(end, low, length);
  return end + length;
}

}  // namespace

VarClass ClassOfType(VARTYPE vt) {
  if (vt & VT_BYREF) return VarClass::Other;
  if (vt & VT_ARRAY) return VarClass::Array;
  switch (vt) {
    case VT_EMPTY:
      return VarClass::Empty;
    case VT_NULL:
      return VarClass::Null;
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_INT:
      return VarClass::Signed;
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UI8:
    case VT_UINT:
      return VarClass::Unsigned;
    case VT_R4:
    case VT_R8:
      return VarClass::Real;
    case VT_CY:
      return VarClass::Currency;
    case VT_DECIMAL:
      return VarClass::Decimal;
    case VT_DATE:
      return VarClass::Date;
    case VT_BOOL:
      return VarClass::Bool;
    case VT_BSTR:
      return VarClass::Text;
    case VT_ERROR:
    case VT_HRESULT:
      return VarClass::Code;
    case VT_DISPATCH:
    case VT_UNKNOWN:
      return VarClass::Object;
    default:
      return VarClass::Other;
  }
}

int64_t SignedValue(const VARIANT& v) {
  switch (v.vt) {
    case VT_I1:
      return (signed char)v.cVal;
    case VT_I2:
      return v.iVal;
    case VT_I4:
      return v.lVal;
    case VT_INT:
      return v.intVal;
    case VT_I8:
      return v.llVal;
    default:
      return 0;
  }
}

uint64_t UnsignedValue(const VARIANT& v) {
  switch (v.vt) {
    case VT_UI1:
      return v.bVal;
    case VT_UI2:
      return v.uiVal;
    case VT_UI4:
      return v.ulVal;
    case VT_UINT:
      return v.uintVal;
    case VT_UI8:
      return v.ullVal;
    default:
      return 0;
  }
}

std::string MagnitudeDigits(unsigned __int128 magnitude) {
  char text[48];
  return std::string(text, WriteDigits(magnitude, text, text + sizeof text));
}

std::string DecimalText(unsigned __int128 magnitude, bool negative, int scale, DecimalDigits digits) {
  std::string text = MagnitudeDigits(magnitude);
  if (scale > 0) {
    const size_t places = (size_t)scale;
    if (text.size() <= places) text.insert(0, places + 1 - text.size(), '0');
    text.insert(text.size() - places, 1, '.');
    if (digits == DecimalDigits::Trimmed) {
      while (text.back() == '0') text.pop_back();
      if (text.back() == '.') text.pop_back();
    }
  }
  if (negative && magnitude != 0) text.insert(0, 1, '-');
  return text;
}

std::string DecimalText(const DECIMAL& value, DecimalDigits digits) {
  const u128 magnitude = ((u128)value.Hi32 << 64) | value.Lo64;
  return DecimalText(magnitude, (value.sign & DECIMAL_NEG) != 0, value.scale, digits);
}

}  // namespace kp
