// A recordset saved to and reopened from a file (Recordset.Save with adPersistXML, and Open
// of a file name or with Provider=MSPersist): the rows as PersistXml reads and writes them,
// converted to and from the client cursor's row set and column metadata. A reopened recordset
// has its fields' types, sizes, key flags and base table/column back; its deleted rows come back
// flagged deleted. Failures set the error info (ADODB.Recordset, with PersistXml's description).
#pragma once
#include <memory>
#include <string>

#include "RowSet.h"

namespace kp::ado {

class ClientView;

class RecordsetFile {
 public:
  // Reads the file at path into a new row set.
  static HRESULT Load(const std::u16string& path, std::shared_ptr<RowSet>& rows);
  // Writes the fields and the visible rows of view to the file at path (replacing none).
  static HRESULT Save(std::u16string_view path, const ClientView& view);
};

}  // namespace kp::ado
