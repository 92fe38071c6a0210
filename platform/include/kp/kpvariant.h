// What the platform publishes about VARIANT values for the code above it: one classification of
// the value types, the integer held by an integer VARIANT, and one text routine for scaled
// decimal numbers (DECIMAL and CURRENCY). The ADO library, its persistence format, the number
// conversions of OLE Automation and the ado2 layer all read values through these, so a type
// added here is known to all of them at once.
//
// The classification is of the type of a value held by value: a VT_BYREF type is Other (callers
// follow references before they classify), any VT_ARRAY type an Array. VT_INT and VT_UINT
// count as 32-bit integers, as on Windows; VT_DATE is a date although it is stored as a double;
// VT_ERROR and VT_HRESULT are codes, not numbers.
#pragma once
#include <cstdint>
#include <string>

#include "kp/kpplatform.h"
#include "oaidl.h"

namespace kp {

enum class VarClass {
  Empty,     // VT_EMPTY
  Null,      // VT_NULL
  Signed,    // VT_I1, VT_I2, VT_I4, VT_I8, VT_INT
  Unsigned,  // VT_UI1, VT_UI2, VT_UI4, VT_UI8, VT_UINT
  Real,      // VT_R4, VT_R8
  Currency,  // VT_CY: a 64-bit integer scaled by 10^4
  Decimal,   // VT_DECIMAL: a 96-bit magnitude, a sign and a scale
  Date,      // VT_DATE
  Bool,      // VT_BOOL
  Text,      // VT_BSTR
  Code,      // VT_ERROR, VT_HRESULT
  Object,    // VT_DISPATCH, VT_UNKNOWN
  Array,     // any VT_ARRAY type (VT_ARRAY | VT_UI1 holds bytes)
  Other,     // VT_BYREF types, VT_VARIANT, VT_RECORD and the types a VARIANT cannot hold by value
};

// The class of a value type.
KPAPI VarClass ClassOfType(VARTYPE vt);

inline bool IsIntegerClass(VarClass c) {
  return c == VarClass::Signed || c == VarClass::Unsigned;
}
// Integers, reals, currency and decimals: the types that take part in arithmetic and compare
// as numbers.
inline bool IsNumberClass(VarClass c) {
  return IsIntegerClass(c) || c == VarClass::Real || c == VarClass::Currency || c == VarClass::Decimal;
}

// The value of a VARIANT of class Signed (SignedValue) or Unsigned (UnsignedValue); 0 for any
// other type.
KPAPI int64_t SignedValue(const VARIANT& v);
KPAPI uint64_t UnsignedValue(const VARIANT& v);

// How DecimalText writes the digits after the point.
enum class DecimalDigits {
  Trimmed,  // no trailing zeros, no point for a whole value: VarBstrFromDec's "7.78"
  All,      // every digit of the scale: "7.7800" (numeric columns, the persistence format)
};

// "[-]digits[.digits]" of magnitude / 10^scale (magnitude below 2^96; any scale, a scale above
// 28 still states a value). "-" stands only in front of a non-zero value, so a negative zero
// writes "0" or "0.00"; "0." is never shortened to ".".
KPAPI std::string DecimalText(unsigned __int128 magnitude, bool negative, int scale, DecimalDigits digits);
KPAPI std::string DecimalText(const DECIMAL& value, DecimalDigits digits);
// The whole-number digits of a magnitude below 2^128 ("0" for zero).
KPAPI std::string MagnitudeDigits(unsigned __int128 magnitude);

}  // namespace kp
