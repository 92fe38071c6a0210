// Conversions between provider cells and the VARIANTs of ADO fields and parameters.
//
// Reading (CellToVariant) gives the VARIANT type of the field's ADO type (ColumnInfo::vt): text
// as VT_BSTR, binary as VT_ARRAY|VT_UI1, Null as VT_NULL, integers as the field's integer type
// unless the stored value does not fit it, in which case it is returned as VT_I8 rather than cut;
// currency as VT_CY and numeric as VT_DECIMAL, taken exactly from integer or text storage (a REAL
// stored value carries 15 significant digits); dates as VT_DATE from ISO text ("yyyy-mm-dd",
// "hh:mm:ss", "yyyy-mm-dd hh:mm:ss" with 'T' accepted), from a REAL Julian day number or from
// INTEGER Unix seconds. A stored value that cannot be taken in the field's type (SQLite lets a
// column hold anything) is returned in its own natural type: INTEGER as VT_I4/VT_I8, REAL as
// VT_R8, TEXT as VT_BSTR, BLOB as VT_ARRAY|VT_UI1.
//
// Writing (VariantToCell) turns a VARIANT into what the provider stores: integers and booleans
// (1/0) as INTEGER, floating values as REAL, currency and decimals as INTEGER when they are whole
// and fit, else as exact decimal text, dates as ISO text in the field's form (date, time or
// both), text as TEXT, byte arrays as BLOB. When a column is given, the value is first coerced
// to the field's type with VariantChangeType, so a value the field cannot take fails with
// adErrDataConversion (0x800A0D5D), as ADO does.
#pragma once
#include <string>
#include <string_view>

#include "ColumnInfo.h"
#include "RowSet.h"
#include "oaidl.h"

namespace kp::ado {

class ValueConversion {
 public:
  static HRESULT CellToVariant(const ColumnInfo& column, const Cell& cell, VARIANT* out);
  static HRESULT VariantToCell(const VARIANT& value, const ColumnInfo* column, Arena& arena, Cell& out);
  // The VARIANT of a cell by its storage class alone.
  static HRESULT NaturalVariant(const Cell& cell, VARIANT* out);

  // Exact decimal text <-> DECIMAL (up to 28 digits after the point; an exponent is accepted).
  static bool ParseDecimal(std::u16string_view text, DECIMAL& out);
  static std::u16string FormatDecimal(const DECIMAL& value);
  // Exact decimal text <-> currency units (value * 10,000); rounds to 4 places half away from 0.
  static bool ParseCurrency(std::u16string_view text, int64_t& out);
  static std::u16string FormatCurrency(int64_t units);
  // Dates as stored text; form: 'D' date only, 'T' time only, 'S' both.
  static bool ParseDateText(std::u16string_view text, DATE& out);
  static std::u16string FormatDateText(DATE value, char form);
  // Byte array (VT_ARRAY|VT_UI1) from bytes.
  static HRESULT MakeByteArray(const void* data, size_t bytes, VARIANT* out);
};

}  // namespace kp::ado
