// ADO's XML persistence format (Recordset.Save with adPersistXML, reopened through MSPersist),
// written and read over neutral column and row structures so that the recordset code stays
// free of XML.
//
// The document: root element "xml" declaring the prefixes s, dt, rs and z; an inline XML-Data
// schema (s:Schema id="RowsetSchema" > s:ElementType name="row" > one s:AttributeType per
// column, each with an s:datatype, then s:extends type="rs:rowbase"); then rs:data with one
// z:row per row. Pending changes are written as rs:insert (new rows), rs:update (rs:original
// with every original value, then a z:row with only the changed columns) and rs:delete (the
// deleted rows' original values). Null values are left out of z:row; all other values are
// attributes in the format's invariant text (see PersistXml.cpp). The reader goes by namespace
// URI, never by prefix, matches z:row attributes to columns by name, accepts the short XML-Data
// type names (i4, r8) beside the friendly ones (int, float), and picks the ADO type from
// rs:dbtype first, then dt:type, then rs:fixedlength / rs:long.
//
// An rs:update row lists changed columns only; columns changed to Null are named in its
// rs:forcenull attribute. bin.base64 columns are not read (they come back as strings).
//
// Whatever Save writes, Load reads back: a column whose name is not an XML name, or starts with
// "xml" in any case (reserved by XML; "xmlns" would be taken as a namespace declaration), is
// written under an alias c<ordinal-1> with its real name in rs:name. Texts keep tab, LF and CR
// (written as character references). What XML 1.0 cannot carry at all (U+0000-U+0008, U+000B,
// U+000C, U+000E-U+001F, U+FFFE, U+FFFF, unpaired surrogates) in a value or a name, and a value
// whose text would not read as its column's type, make Save fail before anything is written.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "oaidl.h"

namespace kp::ado {

struct PersistColumn {
  std::u16string name;
  int type = 0;             // DataTypeEnum
  int32_t definedSize = 0;  // dt:maxLength
  uint8_t precision = 0;    // rs:precision
  uint8_t scale = 0;        // rs:scale
  int32_t attributes = 0;   // FieldAttributeEnum bits
  std::u16string baseTable, baseColumn;
  bool keyColumn = false;  // rs:keycolumn (adFldKeyColumn is set with it on load)
};

enum class RowState { Unchanged, Inserted, Modified, Deleted };

// values: one VARIANT per column (VT_NULL or VT_EMPTY for Null). original: for Modified rows the
// values before the change (one per column); for Deleted rows the values to write when not
// empty (else values are written); unused otherwise. The owner clears the VARIANTs
// (PersistXml::Clear does it for a whole vector).
struct PersistRow {
  RowState state = RowState::Unchanged;
  std::vector<VARIANT> values;
  std::vector<VARIANT> original;
};

class PersistXml {
 public:
  // Writes the document to utf8Path (UTF-8). Failures, with the documented ADO message in
  // *description (may be null):
  //   kErrWriteFile        the file exists and overwrite is false (ADO refuses to save onto an
  //                        existing file), or it cannot be created or written;
  //   kErrInvalidArgument  a row whose value count differs from the column count;
  //   kErrDataConversion   a value of a type the format cannot hold (VT_DISPATCH, arrays other
  //                        than VT_ARRAY|VT_UI1, ...), a value that would not read back as its
  //                        column's type (text in an integer column, 5000000000 in an adInteger
  //                        one), or a value or a name holding a character XML cannot carry; the
  //                        documented text is then followed by the column, the row and the reason,
  //                        e.g. 'Column 2 ("Note"), row 3: the text holds the character U+0001,
  //                        which XML cannot carry.'
  // Refusals happen before the file is created or replaced.
  static HRESULT Save(const std::string& utf8Path, const std::vector<PersistColumn>& columns,
                      const std::vector<PersistRow>& rows, bool overwrite, std::u16string* description);

  // Reads a document into columns and rows (both replaced; on failure both are left empty).
  //   kErrOpeningFile  the file does not exist or cannot be opened;
  //   E_FAIL           not well-formed XML, or not a persisted recordset (no schema, no
  //                    columns, no rs:data), or a value that does not read as its column's type;
  //                    description "Recordset cannot be created. Source XML is incomplete or
  //                    invalid.", the text ADO shows for it.
  static HRESULT Load(const std::string& utf8Path, std::vector<PersistColumn>& columns,
                      std::vector<PersistRow>& rows, std::u16string* description);

  // Save and Load over text held in memory (a Stream's bytes, UTF-8) instead of a file: the same
  // document, the same refusals and failures (kErrWriteFile only when libxml2 cannot write).
  static HRESULT SaveText(std::string& text, const std::vector<PersistColumn>& columns,
                          const std::vector<PersistRow>& rows, std::u16string* description);
  static HRESULT LoadText(std::string_view text, std::vector<PersistColumn>& columns,
                          std::vector<PersistRow>& rows, std::u16string* description);

  // VariantClear on every value of every row, then empties rows.
  static void Clear(std::vector<PersistRow>& rows);
};

}  // namespace kp::ado
