// How the client cursor compares field values for Filter, Find and Sort.
//
// ADO's documentation does not spell the comparison out; this follows the observed behaviour of
// the client cursor engine: numbers compare numerically whatever their VARIANT type; strings
// compare case-insensitively (see TextUtil.h for the folding) and otherwise by UTF-16 code unit,
// not by the locale's collation; dates compare as DATE values; booleans compare False before
// True; binary values compare byte by byte, a shorter prefix first. For ordering values of
// different kinds (columns of dynamically typed SQLite tables) the order is Null (and Empty)
// first, then numbers, booleans and dates (by numeric value, True counting as 1), then strings,
// then binary values, then anything else. Values are read as the documented layouts define
// them (a BSTR's length is the byte count stored before its first character), so this file needs
// no Automation library calls.
#pragma once
#include <span>
#include <string_view>

#include "oaidl.h"

namespace kp::ado {

enum class ValueKind { Null, Number, Boolean, Date, String, Binary, Other };

class ValueCompare {
 public:
  // A VARIANT's kind; VT_BYREF|VT_VARIANT is followed once.
  static ValueKind KindOf(const VARIANT& v);
  // The kind of the values of a field of ADO type adoType (DataTypeEnum).
  static ValueKind KindOfAdoType(int adoType);
  // The VARIANT that holds the value (v itself, or the one a VT_BYREF|VT_VARIANT points at).
  static const VARIANT& Deref(const VARIANT& v);

  // The text of a VT_BSTR value (empty for other types or a null BSTR).
  static std::u16string_view Text(const VARIANT& v);
  // The numeric value of a number, boolean (True = 1) or date (its DateKey); false otherwise.
  static bool Number(const VARIANT& v, long double& out);
  // A DATE as a number that grows with time (DATE values before 1899-12-30 are not monotonic:
  // -1.25 is later than -1.0).
  static long double DateKey(DATE d);
  // The bytes of a VT_ARRAY|VT_UI1 value.
  static std::span<const unsigned char> Bytes(const VARIANT& v);

  // Total order over any two values as described above: <0, 0, >0.
  static int Compare(const VARIANT& a, const VARIANT& b);
};

}  // namespace kp::ado
