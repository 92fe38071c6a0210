// The conversion engine behind VariantChangeType and the Var*From* functions (not exported).
//
// Every numeric source is first read into a Number: an exact decimal (sign, 127-bit magnitude,
// scale 0..28) when the source is an integer, CY, DECIMAL, boolean or a decimal text of at most
// 38 digits, and always a double approximation. Integer, CY and DECIMAL targets round the exact
// form (half to even); R4, R8 and DATE targets take the double. So "2.5" and 2.5 both become
// the integer 2, and "0.1" becomes the DECIMAL 0.1 without passing through binary.
#pragma once
#include <string>

#include "oleauto.h"

namespace kp::com {

struct Number {
  bool exact = true;
  bool negative = false;
  unsigned __int128 magnitude = 0;
  int scale = 0;        // value = +-magnitude / 10^scale
  double approx = 0;    // always set
  bool single = false;  // came from an R4: DECIMAL takes 7 significant digits of it, not 15
};

// Shallow view of a VARIANT with VT_BYREF resolved (VT_BYREF|VT_VARIANT followed once); the
// result shares BSTRs and interfaces with the source and must not be cleared.
HRESULT Dereference(const VARIANT* src, VARIANT* plain);

// Numbers from text: blanks around, a sign, digits with ',' between digit groups, one '.',
// an exponent. DISP_E_TYPEMISMATCH for anything else (also for empty text).
HRESULT ParseNumber(const OLECHAR* text, size_t length, Number* out);
// A plain VARIANT of a numeric type, VT_BOOL, VT_DATE or VT_EMPTY as a Number;
// DISP_E_TYPEMISMATCH for other types.
HRESULT ToNumber(const VARIANT& plain, Number* out);
// Stores the number as vt (a numeric type, VT_BOOL or VT_DATE); DISP_E_OVERFLOW when out of range.
HRESULT FromNumber(const Number& n, VARTYPE vt, VARIANT* out);

std::u16string FormatR8(double value);
std::u16string FormatR4(float value);
std::u16string FormatCy(LONGLONG value);
std::u16string FormatDec(const DECIMAL& value);

// Dates: see oleauto.h for the text forms.
bool DateToSystemTime(DATE date, SYSTEMTIME* st);
bool SystemTimeToDate(const SYSTEMTIME& st, DATE* date);
HRESULT FormatDate(DATE date, bool dateOnly, bool timeOnly, std::u16string* text);
HRESULT ParseDate(const OLECHAR* text, size_t length, DATE* out);
inline constexpr double kMinDate = -657434.0;           // 0100-01-01
inline constexpr double kMaxDateExclusive = 2958466.0;  // 10000-01-01

// The core of VariantChangeTypeEx; flags are VARIANT_* flags.
HRESULT ChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt);
// The size of one value of a scalar VARTYPE (0 for types without one).
size_t ScalarSize(VARTYPE vt);

}  // namespace kp::com
