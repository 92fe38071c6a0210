// The fields of a fabricated recordset: Fields.Append (and _Append) on a new recordset that has
// neither a source nor a connection, then Open with no arguments, gives an open, empty,
// client-side static recordset with those fields, whose rows the caller adds and which lives in
// memory only (Save writes it to a file, Open of that file reads it back).
//
// This class keeps the definitions while the recordset is closed (they outlive Close, so a
// fabricated recordset can be opened again, empty) and checks what Windows checks:
// - Append: a name that is empty is adErrInvalidArgument, one that is there already (in any
//   case) adErrObjectInCollection; a type ADO cannot hold in a recordset (adEmpty, adIDispatch,
//   adIUnknown, adVariant, adError, adChapter, adPropVariant, adUserDefined, adFileTime,
//   adVarNumeric, adArray or an unknown number) adErrInvalidArgument; so is a length type
//   (adChar, adWChar, adVarChar, adVarWChar, adBinary, adVarBinary) without a DefinedSize > 0, a
//   negative DefinedSize, or attribute bits FieldAttributeEnum does not define.
//   Fixed-size types take their own size; long types (adLongVarChar, adLongVarWChar,
//   adLongVarBinary) without a size are unlimited (2147483647).
// - Values written to a fabricated field (CheckValue): Null where the field was not appended
//   with adFldIsNullable, and text or bytes longer than the DefinedSize of a length type, fail
//   with DB_E_ERRORSOCCURRED (0x80040E21, "Multiple-step operation generated errors. Check each
//   status value.", source "Microsoft Cursor Engine"), the cursor engine's answer; an integer
//   out of its field's range is adErrDataConversion.
// The recordset refuses Append and Delete once it is open or has an ActiveConnection
// (AdoRecordset::DefinableFields).
#pragma once
#include <msado15.tlh>

#include <memory>
#include <string>
#include <vector>

#include "ColumnInfo.h"
#include "RowSet.h"

namespace kp::ado {

class FabricatedFields {
 public:
  // Fields.Append: a new field at the end (errors raised with source ADODB.Fields).
  HRESULT Append(std::u16string_view name, LONG type, LONG definedSize, LONG attributes);
  // Fields.Delete of the field f (0 <= f < Count()).
  void Delete(int f);
  int Find(std::u16string_view name) const;  // -1 when there is none
  int Count() const { return (int)columns_.size(); }
  bool Empty() const { return columns_.empty(); }
  const ColumnInfo& Column(int f) const { return columns_[f]; }

  // Field.Type, DefinedSize, Precision, NumericScale and Attributes written before Open, checked
  // as Append checks them (errors raised with source ADODB.Field).
  HRESULT SetType(int f, LONG type);
  HRESULT SetDefinedSize(int f, LONG size);
  HRESULT SetPrecision(int f, BYTE precision);
  HRESULT SetNumericScale(int f, BYTE scale);
  HRESULT SetAttributes(int f, LONG attributes);

  // The rows of a newly opened fabricated recordset: these columns, no row.
  std::shared_ptr<RowSet> NewRows() const;

  // Checks a value about to be written to the fabricated column (see above); S_OK otherwise.
  static HRESULT CheckValue(const ColumnInfo& column, const VARIANT& value);

 private:
  // Types c from type, size and attributes; false when Append would refuse them.
  static bool Define(ColumnInfo& c, LONG type, LONG definedSize, LONG attributes);
  std::vector<ColumnInfo> columns_;
};

}  // namespace kp::ado
