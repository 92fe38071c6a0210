// Saving and reopening recordsets (see RecordsetFile.h).
#include "RecordsetFile.h"

#include <msado15.tlh>

#include "AdoError.h"
#include "AdoStream.h"
#include "AdoText.h"
#include "ClientView.h"
#include "RecordsetArgs.h"
#include "ValueConversion.h"

namespace kp::ado {

HRESULT RecordsetFile::ToRows(const std::vector<PersistColumn>& pcols, std::vector<PersistRow>& prows,
                              std::shared_ptr<RowSet>& rows) {
  std::vector<ColumnInfo> cols;
  for (const PersistColumn& p : pcols) {
    ColumnInfo c;
    c.name = p.name;
    c.SetAdoType(p.type, p.definedSize, p.precision, p.scale);
    c.notNull = !(p.attributes & adFldIsNullable) && p.attributes != 0;
    c.primaryKey = p.keyColumn;
    c.baseTable = p.baseTable;
    c.baseColumn = p.baseColumn;
    cols.push_back(c);
  }
  rows = std::make_shared<RowSet>(cols);
  for (const PersistRow& pr : prows) {
    size_t r = rows->AppendRow();
    for (size_t c = 0; c < cols.size() && c < pr.values.size(); ++c) {
      Cell cell;
      if (SUCCEEDED(ValueConversion::VariantToCell(pr.values[c], nullptr, rows->arena(), cell)))
        rows->Cells(r)[c] = cell;
    }
    if (pr.state == RowState::Deleted) rows->MarkDeleted(r);
  }
  PersistXml::Clear(prows);
  return S_OK;
}

HRESULT RecordsetFile::Load(const std::u16string& path, std::shared_ptr<RowSet>& rows) {
  std::vector<PersistColumn> pcols;
  std::vector<PersistRow> prows;
  std::u16string description;
  HRESULT hr = PersistXml::Load(ToUtf8(path), pcols, prows, &description);
  if (FAILED(hr)) return SetError(hr, kSrcRecordset, description);
  return ToRows(pcols, prows, rows);
}

HRESULT RecordsetFile::Load(AdoStream& stream, std::shared_ptr<RowSet>& rows) {
  std::string bytes;
  HRESULT hr = stream.ReadDocument(bytes);
  if (FAILED(hr)) return hr;
  std::vector<PersistColumn> pcols;
  std::vector<PersistRow> prows;
  std::u16string description;
  hr = PersistXml::LoadText(bytes, pcols, prows, &description);
  if (FAILED(hr)) return SetError(hr, kSrcRecordset, description);
  return ToRows(pcols, prows, rows);
}

std::vector<PersistColumn> RecordsetFile::ColumnsOf(const ClientView& view) {
  std::vector<PersistColumn> cols;
  for (int f = 0; f < view.FieldCount(); ++f) {
    const ColumnInfo& c = view.FieldColumn(f);
    PersistColumn p;
    p.name = c.name;
    p.type = c.type;
    p.definedSize = c.definedSize;
    p.precision = c.precision == 255 ? 0 : c.precision;  // 255: the type has none
    p.scale = c.scale == 255 ? 0 : c.scale;
    p.attributes = c.attributes;
    p.baseTable = c.baseTable;
    p.baseColumn = c.baseColumn;
    p.keyColumn = c.primaryKey;
    cols.push_back(p);
  }
  return cols;
}

HRESULT RecordsetFile::Save(std::u16string_view path, const ClientView& view) {
  std::vector<PersistRow> prows;
  view.PersistRows(prows);
  std::u16string description;
  HRESULT hr = PersistXml::Save(ToUtf8(path), ColumnsOf(view), prows, false, &description);
  PersistXml::Clear(prows);
  if (FAILED(hr)) return SetError(hr, kSrcRecordset, description);
  return S_OK;
}

HRESULT RecordsetFile::Save(AdoStream& stream, const ClientView& view) {
  std::vector<PersistRow> prows;
  view.PersistRows(prows);
  std::u16string description;
  std::string text;
  HRESULT hr = PersistXml::SaveText(text, ColumnsOf(view), prows, &description);
  PersistXml::Clear(prows);
  if (FAILED(hr)) return SetError(hr, kSrcRecordset, description);
  return stream.WriteDocument(text);
}

AdoStream* RecordsetFile::StreamOf(const VARIANT& argument) {
  const VARIANT& v = RecordsetArgs::Deref(argument);
  return v.vt == VT_UNKNOWN || v.vt == VT_DISPATCH ? AdoStream::From(v.punkVal) : nullptr;
}

}  // namespace kp::ado
