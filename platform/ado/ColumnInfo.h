// What a cursor knows about one result column, and how its ADO field metadata (Type,
// DefinedSize, Precision, NumericScale, Attributes) follows from the column's declared type.
//
// SQLite types values per cell, so the ADO type comes from the declared type of the column
// (sqlite3_column_decltype), by the table in docs/ado.md ("Field types"). A column without a
// declared type (an expression) takes its type from the storage class of its value in the first
// row: INTEGER -> adInteger, REAL -> adDouble, TEXT -> adVarChar (DefinedSize 255), BLOB ->
// adLongVarBinary, NULL or no row -> adVarChar. A declared type that the table does not name is
// mapped by SQLite's affinity rules (INT -> adInteger, CHAR/CLOB/TEXT -> adVarChar, BLOB ->
// adLongVarBinary, REAL/FLOA/DOUB -> adDouble, otherwise adNumeric).
#pragma once
#include <cstdint>
#include <string>

#include "oaidl.h"

namespace kp::ado {

enum class CellKind : uint8_t;

struct ColumnInfo {
  std::u16string name;
  std::u16string declType;   // as declared; empty for expressions
  std::u16string baseTable;  // origin of the column, empty when it has none
  std::u16string baseColumn;
  bool notNull = false;
  bool primaryKey = false;
  bool autoIncrement = false;
  bool hidden = false;  // fetched for keying updates (the rowid), not shown in Fields
  bool rowId = false;   // the value is the row's rowid
  // Appended with Fields.Append to a recordset with no source (FabricatedFields.h): the
  // attributes are the caller's (declared), completed by the type's fixed and long bits.
  bool fabricated = false;
  int32_t declaredAttributes = 0;

  // ADO metadata (valid once typed is true).
  bool typed = false;
  int type = 200;  // adVarChar
  int32_t definedSize = 255;
  uint8_t precision = 255;
  uint8_t scale = 255;
  int32_t attributes = 0;
  VARTYPE vt = VT_BSTR;  // the VARIANT type Field.Value gives for a non-Null value

  // Types the column from declType; false (and untyped) when there is none.
  bool TypeFromDeclaration();
  // Types a column without a declared type from the storage class of its first value.
  void TypeFromValue(CellKind kind);
  // Sets type and the dependent metadata for an ADO type (used by the two above and by
  // recordsets built from persisted files). size is DefinedSize when the type takes a length.
  void SetAdoType(int adoType, int32_t size = -1, int prec = -1, int numericScale = -1);
  // Recomputes the attribute bits: nullable/may-be-null, fixed, long, key, rowid, and
  // adFldUpdatable when the recordset can write this column (never for the rowid). A fabricated
  // column has its declared bits with the type's fixed and long bits, and adFldUpdatable when
  // the recordset can write.
  void ComputeAttributes(bool updatable);
  bool IsLong() const { return type == 201 || type == 203 || type == 205; }
  bool IsText() const { return vt == VT_BSTR; }
  bool IsBinary() const { return vt == (VT_ARRAY | VT_UI1); }
};

}  // namespace kp::ado
