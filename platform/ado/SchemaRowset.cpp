// The OLE DB schema rowsets (see SchemaRowset.h).
#include "SchemaRowset.h"

#include <msado15.tlh>

namespace kp::ado {

const std::vector<SchemaRowset::Column>& SchemaRowset::Layout(int schema) {
  static const std::vector<Column> tables = {
      {u"TABLE_CATALOG", u"VARCHAR(128)"}, {u"TABLE_SCHEMA", u"VARCHAR(128)"},
      {u"TABLE_NAME", u"VARCHAR(128)"},    {u"TABLE_TYPE", u"VARCHAR(128)"},
      {u"TABLE_GUID", u"VARCHAR(38)"},     {u"DESCRIPTION", u"VARCHAR(255)"},
      {u"TABLE_PROPID", u"BIGINT"},        {u"DATE_CREATED", u"DATETIME"},
      {u"DATE_MODIFIED", u"DATETIME"}};
  static const std::vector<Column> columns = {{u"TABLE_CATALOG", u"VARCHAR(128)"},
                                              {u"TABLE_SCHEMA", u"VARCHAR(128)"},
                                              {u"TABLE_NAME", u"VARCHAR(128)"},
                                              {u"COLUMN_NAME", u"VARCHAR(128)"},
                                              {u"COLUMN_GUID", u"VARCHAR(38)"},
                                              {u"COLUMN_PROPID", u"BIGINT"},
                                              {u"ORDINAL_POSITION", u"UNSIGNED INT"},
                                              {u"COLUMN_HASDEFAULT", u"BOOLEAN"},
                                              {u"COLUMN_DEFAULT", u"VARCHAR(255)"},
                                              {u"COLUMN_FLAGS", u"UNSIGNED INT"},
                                              {u"IS_NULLABLE", u"BOOLEAN"},
                                              {u"DATA_TYPE", u"SMALLINT"},
                                              {u"TYPE_GUID", u"VARCHAR(38)"},
                                              {u"CHARACTER_MAXIMUM_LENGTH", u"UNSIGNED INT"},
                                              {u"CHARACTER_OCTET_LENGTH", u"UNSIGNED INT"},
                                              {u"NUMERIC_PRECISION", u"SMALLINT"},
                                              {u"NUMERIC_SCALE", u"SMALLINT"}};
  static const std::vector<Column> keys = {
      {u"TABLE_CATALOG", u"VARCHAR(128)"}, {u"TABLE_SCHEMA", u"VARCHAR(128)"},
      {u"TABLE_NAME", u"VARCHAR(128)"},    {u"COLUMN_NAME", u"VARCHAR(128)"},
      {u"COLUMN_GUID", u"VARCHAR(38)"},    {u"COLUMN_PROPID", u"BIGINT"},
      {u"ORDINAL", u"UNSIGNED INT"},       {u"PK_NAME", u"VARCHAR(128)"}};
  static const std::vector<Column> none;
  switch (schema) {
    case adSchemaTables:
      return tables;
    case adSchemaColumns:
      return columns;
    case adSchemaPrimaryKeys:
      return keys;
    default:
      return none;
  }
}

std::vector<std::u16string> SchemaRowset::DeclTypes(int schema) {
  std::vector<std::u16string> out;
  for (const Column& c : Layout(schema)) out.emplace_back(c.declType);
  return out;
}

SchemaRowset::SchemaRowset(int schema) {
  for (const Column& c : Layout(schema)) {
    ColumnInfo info;
    info.name = c.name;
    info.declType = c.declType;
    info.TypeFromDeclaration();
    columns_.push_back(std::move(info));
  }
}

HRESULT SchemaRowset::Next(ProviderError&) {
  if (started_) ++pos_;
  started_ = true;
  return pos_ < rows_.size() ? S_OK : S_FALSE;
}

void SchemaRowset::AddRow() {
  rows_.emplace_back(columns_.size(), Cell());
}

void SchemaRowset::SetText(size_t c, std::u16string_view text) {
  rows_.back()[c] = arena_.Text(text.data(), text.size());
}

}  // namespace kp::ado
