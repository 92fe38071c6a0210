// A recordset saved to and reopened from a file or a Stream (Recordset.Save with adPersistXML,
// and Open of a file name, of a Stream, or with Provider=MSPersist): the rows as PersistXml
// reads and writes them, converted to and from the client cursor's row set and column
// metadata. A reopened recordset has its fields' types, sizes, key flags and base table/column
// back; its deleted rows come back flagged deleted. Failures set the error info
// (ADODB.Recordset, with PersistXml's description).
//
// A Stream takes the document as UTF-8 bytes at its Position (AdoStream::WriteDocument says
// where Position ends); reopening reads from its Position to the end.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "PersistXml.h"
#include "RowSet.h"

namespace kp::ado {

class AdoStream;
class ClientView;

class RecordsetFile {
 public:
  // Reads the file at path into a new row set.
  static HRESULT Load(const std::u16string& path, std::shared_ptr<RowSet>& rows);
  // Reads the document from the stream's Position into a new row set.
  static HRESULT Load(AdoStream& stream, std::shared_ptr<RowSet>& rows);
  // Writes the fields and the visible rows of view to the file at path (replacing none).
  static HRESULT Save(std::u16string_view path, const ClientView& view);
  // Writes them into the stream (which must be open).
  static HRESULT Save(AdoStream& stream, const ClientView& view);
  // The stream that an argument (VT_UNKNOWN or VT_DISPATCH, by reference too) holds, or nullptr.
  static AdoStream* StreamOf(const VARIANT& argument);

 private:
  static HRESULT ToRows(const std::vector<PersistColumn>& pcols, std::vector<PersistRow>& prows,
                        std::shared_ptr<RowSet>& rows);
  static std::vector<PersistColumn> ColumnsOf(const ClientView& view);
};

}  // namespace kp::ado
